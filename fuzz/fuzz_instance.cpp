// The viewer's socket as any local program may write to it: bytes in pieces of any size reach
// the frame reader, whose payload is decoded as a request. Nothing crashes, a frame is never
// longer than allowed, a decoded request re-encodes to one that decodes the same, and the
// reply decoder takes whatever the viewer could be sent back.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/instance.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The first byte chooses the size of the pieces the bytes arrive in.
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;
    InstanceFrameReader reader;
    for (std::size_t at = 0; at < n; at += piece) {
        const std::size_t take = std::min(piece, n - at);
        const InstanceFrameReader::State before = reader.state();
        const InstanceFrameReader::State state = reader.feed(bytes + at, take);
        // Invalid stays invalid.
        if (before == InstanceFrameReader::State::Invalid &&
            state != InstanceFrameReader::State::Invalid)
            __builtin_trap();
    }
    if (reader.state() == InstanceFrameReader::State::Complete) {
        if (reader.payload().empty() || reader.payload().size() > kMaxInstanceMessageBytes)
            __builtin_trap();
    }
    // Decoded as what it claims to be, whatever the framing said.
    const std::string_view payload(bytes, n);
    std::string error;
    if (const auto m = DecodeInstanceMessage(payload, error)) {
        if (m->query.size() > kMaxInstanceQueryBytes) __builtin_trap();
        std::string again;
        const auto back = DecodeInstanceMessage(EncodeInstanceMessage(*m), again);
        if (!back || back->command != m->command) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    error.clear();
    if (!DecodeInstanceReply(payload, error) && error.empty()) __builtin_trap();
    // A query cut at any length never ends inside a character.
    const std::string cut = CutUtf8(std::string(payload), n / 2);
    if (cut.size() > n / 2) __builtin_trap();
    return 0;
}
