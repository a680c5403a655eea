// The session a viewer hands to the process it starts afresh, read back from bytes that may be
// damaged: decoding never crashes or throws, gives a session or a reason, and a session it
// gives encodes to bytes that decode to the same session.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/viewersession.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<ViewerSession> s = DecodeViewerSession(bytes, error);
    if (!s) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    std::string again;
    const std::optional<ViewerSession> back = DecodeViewerSession(EncodeViewerSession(*s), again);
    if (!back || !(*back == *s)) __builtin_trap();
    return 0;
}
