#include "ocr/ocrengine.h"

#include <algorithm>

#include "base/text.h"

namespace kes {

namespace {

// On UTF-16 code units: U+20000..U+3FFFF are the high surrogates D840..D8BF; a low surrogate
// belongs to the character before it.
bool IsHan(char16_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xD840 && c <= 0xD8BF);
}

// Chinese punctuation and full-width forms sit between Han characters without spaces too.
bool IsWide(char16_t c) {
    return IsHan(c) || (c >= 0xDC00 && c <= 0xDFFF) || (c >= 0x3000 && c <= 0x303F) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

bool IsSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' ||
           c == 0x3000 || c == 0xA0;
}

}  // namespace

std::string OcrModelFolder(const char* tessdataPrefix) {
    if (tessdataPrefix != nullptr && *tessdataPrefix != '\0') return tessdataPrefix;
    return "/usr/share/tesseract-ocr/5/tessdata";
}

OcrLayout ChooseOcrLayout(int width, int height, int lines) {
    if (height >= 2 * width) return OcrLayout::Vertical;
    return lines <= 1 ? OcrLayout::Line : OcrLayout::Block;
}

double OcrScaleFor(int charHeight) {
    if (charHeight <= 0) return 1.0;
    const double s = static_cast<double>(kOcrTargetHeight) / charHeight;
    if (s > 4.0) return 4.0;
    if (s >= 1.0) return s;
    return charHeight > 2 * kOcrTargetHeight ? s * 2.0 : 1.0;
}

std::string CleanOcrText(std::string_view utf8) {
    std::u16string out;
    char16_t before = 0;  // the last code unit kept
    bool pendingSpace = false;
    for (char16_t c : Utf8ToUtf16(utf8)) {
        if (IsSpace(c)) {
            pendingSpace = before != 0;
            continue;
        }
        if (pendingSpace && !IsWide(before) && !IsWide(c)) out.push_back(u' ');
        pendingSpace = false;
        out.push_back(c);
        before = c;
    }
    return Utf16ToUtf8(out);
}

bool HasHanCharacter(std::string_view utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::any_of(text.begin(), text.end(), IsHan);
}

}  // namespace kes
