// Reading an image and preparing it for the recognizer (leptonica; no toolkit). Part of the
// recognition module and of its fuzz target only.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ocr/ocrengine.h"

struct Pix;

namespace kes {

struct PixDeleter {
    void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// Decodes a PNG or JPEG image held in `bytes`. The format is told by the first bytes and the
// size read from the header before anything is decoded: more than kOcrMaxPixels pixels or a
// side longer than kOcrMaxSide is refused, so a decompression bomb costs no memory. Returns
// null with the reason in `reason` ("not a PNG or JPEG image", "the image is corrupt or
// truncated", "the image is too large: W × H pixels (at most N million)").
PixPtr DecodeOcrImage(std::string_view bytes, std::string& reason);

// What the recognizer gets: 8 bits grey, dark text on a light ground (light text on a dark
// ground is inverted), scaled so that the characters are about kOcrTargetHeight pixels tall,
// with a light margin, and how to read it.
struct PreparedImage {
    PixPtr pix;  // null when the image is of one plain colour (nothing to read)
    OcrLayout layout = OcrLayout::Line;
    int lines = 0;       // the horizontal lines of ink found (columns for Vertical)
    int charHeight = 0;  // the characters' height before scaling (width for Vertical)
    bool inverted = false;
    double scale = 1.0;
};
PreparedImage PrepareOcrImage(Pix* decoded);

// Leptonica's own messages stay off the user's terminal (the callers say what went wrong).
void SilenceImageLibrary();

}  // namespace kes
