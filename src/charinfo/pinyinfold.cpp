#include "charinfo/pinyinfold.h"

#include <array>

namespace kes {

namespace {

using FoldTable = std::array<char, kLastPinyinFolded - kFirstPinyinFolded + 1>;

constexpr FoldTable MakePinyinFoldTable() {
    FoldTable t{};
    for (char& c : t)
        c = '*';
    struct Range {
        char16_t from, to;
        char letter;
    };
    constexpr Range ranges[] = {
        {0x00C0, 0x00C5, 'a'}, {0x00E0, 0x00E5, 'a'}, {0x0100, 0x0105, 'a'}, {0x01CD, 0x01CE, 'a'},
        {0x01DE, 0x01E1, 'a'}, {0x01FA, 0x01FB, 'a'}, {0x0200, 0x0203, 'a'}, {0x0226, 0x0227, 'a'},
        {0x00C8, 0x00CB, 'e'}, {0x00E8, 0x00EB, 'e'}, {0x0112, 0x011B, 'e'}, {0x0204, 0x0207, 'e'},
        {0x0228, 0x0229, 'e'}, {0x00CC, 0x00CF, 'i'}, {0x00EC, 0x00EF, 'i'}, {0x0128, 0x0131, 'i'},
        {0x013A, 0x013A, 'i'}, {0x01CF, 0x01D0, 'i'}, {0x0208, 0x020B, 'i'}, {0x00D2, 0x00D6, 'o'},
        {0x00F2, 0x00F6, 'o'}, {0x014C, 0x0151, 'o'}, {0x01D1, 0x01D2, 'o'}, {0x020C, 0x020F, 'o'},
        {0x022A, 0x0231, 'o'}, {0x00D9, 0x00DC, 'u'}, {0x00F9, 0x00FC, 'u'}, {0x0168, 0x0173, 'u'},
        {0x01AF, 0x01B1, 'u'}, {0x01D3, 0x01DC, 'u'}, {0x0214, 0x0217, 'u'}, {0x01B2, 0x01B2, 'v'},
        {0x00DD, 0x00DD, 'y'}, {0x00FD, 0x00FD, 'y'}, {0x00FF, 0x00FF, 'y'}, {0x0176, 0x0178, 'y'},
        {0x01B3, 0x01B4, 'y'}, {0x0232, 0x0233, 'y'},
    };
    for (const Range& r : ranges) {
        for (char16_t c = r.from; c <= r.to; ++c)
            t[c - kFirstPinyinFolded] = r.letter;
    }
    return t;
}

// For every code unit U+00C0..U+023F: the lowercase base letter, or '*' (dropped).
constexpr FoldTable PinyinFoldTable = MakePinyinFoldTable();
static_assert(PinyinFoldTable.size() == 384);

}  // namespace

char PinyinFoldLetter(char16_t c) {
    if (c < kFirstPinyinFolded || c > kLastPinyinFolded) return '*';
    return PinyinFoldTable[c - kFirstPinyinFolded];
}

}  // namespace kes
