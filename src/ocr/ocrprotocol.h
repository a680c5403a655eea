// The pipe between the viewer and its recognizer process ("kestrune ocr --serve"), Qt-free:
// the viewer writes one request frame per region and reads one reply frame for it.
//
//   frame:   four bytes of big-endian length N (1..kOcrMaxFileBytes + 1), then N bytes
//   request: the PNG or JPEG image
//   reply:   one status letter, then UTF-8: "T" + the text found, "N" (no Chinese text),
//            "B" + why the image is bad, "M" + which models are missing, "E" + why the
//            recognizer cannot run
//
// The recognizer answers requests in order and ends by itself after kOcrServeIdleSeconds
// without one, or when its input is closed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ocr/ocrengine.h"

namespace kes {

inline constexpr int kOcrServeIdleSeconds = 180;

// The frame of `payload`.
std::string FrameOcrPayload(std::string_view payload);

// The reply's payload (no frame).
std::string EncodeOcrReply(const OcrResult& result);
std::string EncodeOcrFailure(const std::string& reason);  // "E" + reason

struct OcrReply {
    bool usable = true;  // false: "E", the recognizer cannot run (reason in result.reason)
    OcrResult result;
};
// Nothing for a payload that is no reply (empty, an unknown letter).
std::optional<OcrReply> DecodeOcrReply(std::string_view payload);

// Reassembles frames from the bytes of a pipe as they arrive.
class OcrFrameReader {
  public:
    enum class State { NeedMore, Complete, Invalid };
    // Takes the next bytes; returns how many it used (the rest begins the next frame).
    std::size_t feed(const char* data, std::size_t size);
    State state() const { return state_; }
    const std::string& payload() const { return payload_; }
    // Whether part of a frame has been read.
    bool started() const { return !header_.empty(); }
    // Starts on the next frame.
    void reset();

  private:
    State state_ = State::NeedMore;
    std::string header_;
    std::size_t length_ = 0;
    std::string payload_;
};

}  // namespace kes
