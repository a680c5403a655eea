// Recognition of Chinese text in images (screen regions, screenshots, photos of text). Qt-free.
//
// The engine itself (leptonica to read and prepare the image, tesseract to read it) lives in the
// module libkestrune-ocr.so, which the command "kestrune ocr" loads on first use: nothing else
// of the program maps the engine's 50-odd libraries or a model. This header is all that the
// caller and the module share; the rules that need no image library are here too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kes {

// An image is refused, from its header alone and before anything is decoded, when it has more
// pixels than this (an 8K screen has 33.2 million) or a side longer than kOcrMaxSide.
inline constexpr std::uint64_t kOcrMaxPixels = 40'000'000;
inline constexpr std::uint32_t kOcrMaxSide = 20'000;
// The most bytes of one image file (or of standard input) that are read.
inline constexpr std::size_t kOcrMaxFileBytes = 64u << 20;

enum class OcrStatus {
    Text,      // Chinese text was found: OcrResult::text
    NoText,    // the image holds no Chinese text (or is one plain colour)
    BadImage,  // not a PNG or JPEG image, corrupt, truncated or too large: OcrResult::reason
    NoModels,  // the recognition models are missing: OcrResult::reason names the packages
};

struct OcrResult {
    OcrStatus status = OcrStatus::NoText;
    std::string text;    // Text: the text found, UTF-8, on one line
    std::string reason;  // BadImage, NoModels: why, for the user
};

// The number of characters of `text` (UTF-16) that lie in words of two or more characters that
// the dictionaries know; the recognizer keeps the script whose reading scores higher.
using OcrWordCounter = std::function<int(std::u16string_view text)>;

// The recognizer. Models load on the first image that needs them and stay loaded for the next.
class OcrEngine {
  public:
    virtual ~OcrEngine() = default;
    // Reads the PNG or JPEG image held in `bytes`. Never throws for a bad image.
    virtual OcrResult Recognize(std::string_view bytes, const OcrWordCounter& countWords) = 0;
    // Loads the models now, so that the first image is answered at once.
    virtual void Preload() = 0;
};

// The module's one entry: makes an engine reading the models of `tessdata` (a folder holding
// chi_sim.traineddata and the others; empty: TESSDATA_PREFIX, else the Debian folder).
// The module's file name and the symbol the caller looks up.
inline constexpr const char* kOcrModuleFile = "libkestrune-ocr.so";
inline constexpr const char* kOcrModuleEntry = "KestruneOcrCreateEngine";
using OcrCreateEngineFn = OcrEngine* (*)(const char* tessdata);

// --- Rules without an image library ---

// The folder of the models: `tessdataPrefix` (TESSDATA_PREFIX) when set and not empty, else
// Debian's "/usr/share/tesseract-ocr/5/tessdata".
std::string OcrModelFolder(const char* tessdataPrefix);

// The model files the recognizer uses and the Debian package of each.
struct OcrModel {
    const char* name;     // "chi_sim", "chi_tra"
    const char* package;  // "tesseract-ocr-chi-sim", ...
};
inline constexpr OcrModel kOcrModels[] = {
    {"chi_sim", "tesseract-ocr-chi-sim"},
    {"chi_tra", "tesseract-ocr-chi-tra"},
};

// How a region is read, from its shape and the text lines found in it.
enum class OcrLayout {
    Line,      // one horizontal line
    Block,     // several horizontal lines
    Vertical,  // vertical columns (read top to bottom, right to left)
};
// Vertical when the region is at least twice as tall as wide; else Line for at most one
// horizontal line of ink, Block for more.
OcrLayout ChooseOcrLayout(int width, int height, int lines);

// The factor by which a region is scaled so that its characters are about kOcrTargetHeight
// pixels tall: from 1 (never smaller than 1 for small text) up to 4, and below 1 only for
// characters taller than twice the target.
inline constexpr int kOcrTargetHeight = 40;
double OcrScaleFor(int charHeight);

// The recognizer's text made fit for a lookup: line breaks and the spaces the engine puts
// between Chinese characters dropped, runs of other white space made one space, the ends
// trimmed. UTF-8 in and out; invalid UTF-8 is replaced by U+FFFD.
std::string CleanOcrText(std::string_view utf8);

// Whether `utf8` holds a Han character.
bool HasHanCharacter(std::string_view utf8);

}  // namespace kes
