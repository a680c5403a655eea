// An image handed to "kestrune ocr" (a file, standard input, a screen region): decoded, refused
// with a reason, or prepared for the recognizer; never a crash, and never more memory than the
// pixel limit allows.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <leptonica/allheaders.h>

#include "ocr/ocrimage.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SilenceImageLibrary();
    std::string reason;
    PixPtr pix = DecodeOcrImage(std::string_view(reinterpret_cast<const char*>(data), size), reason);
    if (!pix) {
        if (reason.empty()) throw std::logic_error("an image refused without a reason");
        return 0;
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(pixGetWidth(pix.get())) *
                                 static_cast<std::uint64_t>(pixGetHeight(pix.get()));
    if (pixels > kOcrMaxPixels) throw std::logic_error("an image above the limit was decoded");
    PreparedImage prepared = PrepareOcrImage(pix.get());
    if (prepared.pix && pixGetDepth(prepared.pix.get()) != 8)
        throw std::logic_error("a prepared image that is not 8 bits grey");
    return 0;
}
