#include "ocr/ocrprotocol.h"

#include <algorithm>
#include <cstdint>

namespace kes {

std::string FrameOcrPayload(std::string_view payload) {
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::string frame{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                      static_cast<char>(n >> 8), static_cast<char>(n)};
    frame.append(payload);
    return frame;
}

std::string EncodeOcrReply(const OcrResult& result) {
    switch (result.status) {
        case OcrStatus::Text:
            return "T" + result.text;
        case OcrStatus::NoText:
            return "N";
        case OcrStatus::BadImage:
            return "B" + result.reason;
        case OcrStatus::NoModels:
            return "M" + result.reason;
    }
    return "N";
}

std::string EncodeOcrFailure(const std::string& reason) {
    return "E" + reason;
}

std::optional<OcrReply> DecodeOcrReply(std::string_view payload) {
    if (payload.empty()) return std::nullopt;
    OcrReply reply;
    const std::string rest(payload.substr(1));
    switch (payload[0]) {
        case 'T':
            reply.result.status = OcrStatus::Text;
            reply.result.text = rest;
            break;
        case 'N':
            reply.result.status = OcrStatus::NoText;
            break;
        case 'B':
            reply.result.status = OcrStatus::BadImage;
            reply.result.reason = rest;
            break;
        case 'M':
            reply.result.status = OcrStatus::NoModels;
            reply.result.reason = rest;
            break;
        case 'E':
            reply.usable = false;
            reply.result.reason = rest;
            break;
        default:
            return std::nullopt;
    }
    return reply;
}

std::size_t OcrFrameReader::feed(const char* data, std::size_t size) {
    std::size_t used = 0;
    while (used < size && state_ == State::NeedMore) {
        if (header_.size() < 4) {
            header_.push_back(data[used++]);
            if (header_.size() == 4) {
                length_ = (static_cast<std::size_t>(static_cast<unsigned char>(header_[0])) << 24) |
                          (static_cast<std::size_t>(static_cast<unsigned char>(header_[1])) << 16) |
                          (static_cast<std::size_t>(static_cast<unsigned char>(header_[2])) << 8) |
                          static_cast<std::size_t>(static_cast<unsigned char>(header_[3]));
                if (length_ == 0 || length_ > kOcrMaxFileBytes + 1) state_ = State::Invalid;
            }
            continue;
        }
        const std::size_t take = std::min(size - used, length_ - payload_.size());
        payload_.append(data + used, take);
        used += take;
        if (payload_.size() == length_) state_ = State::Complete;
    }
    return used;
}

void OcrFrameReader::reset() {
    state_ = State::NeedMore;
    header_.clear();
    length_ = 0;
    payload_.clear();
}

}  // namespace kes
