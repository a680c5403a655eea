// Pinyin fields as any dictionary may hold them: the bytes as UTF-16LE code units, shown in
// every style. The stored style gives the field back unchanged, the pieces of every style
// join into its text, and only syllables carry a tone.
#include <cstdint>
#include <string>
#include <string_view>

#include "charinfo/pinyinmarks.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::u16string field(size / 2, u'\0');
    for (std::size_t i = 0; i < field.size(); ++i)
        field[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    for (PinyinStyle style : {PinyinStyle::Stored, PinyinStyle::Marks, PinyinStyle::Zhuyin}) {
        std::u16string joined;
        for (const PinyinPiece& p : PinyinPieces(field, style)) {
            if (p.tone < 0 || p.tone > 5) __builtin_trap();
            if (p.text.empty() && p.tone == 0) __builtin_trap();
            joined += p.text;
        }
        if (joined != PinyinText(field, style)) __builtin_trap();
        if (style == PinyinStyle::Stored && joined != field) __builtin_trap();
    }
    (void)ParseToneColors(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
