// Line readers and writer shared by every file the program reads or writes, and the
// transforms applied to query text. The fields of an entry line: dict/entry.h.
#pragma once

#include <string>
#include <string_view>

#include "base/bytefile.h"

namespace kes {

// Longest piece of a line that one read returns (code units or bytes).
constexpr int kMaxLineUnits = 9999;

// The next line of a UTF-16LE file, without CR, LF and U+FEFF. At most 9999 code units
// (dropped ones included) are consumed per call, so a longer line comes back in pieces.
std::u16string ReadUcs2Line(ByteFile& f);
// The string's code units, then CR and LF, each as 2 bytes little-endian.
void WriteUcs2Line(ByteFile& f, std::u16string_view s);
// The next line of a UTF-8 file with every multi-byte character written as "&#N;".
std::string ReadUtf8LineAsRefs(ByteFile& f);
// The next line of an 8-bit file without CR and LF; only its first 9999 bytes are kept,
// the rest of the line is consumed.
std::string ReadAnsiLine(ByteFile& f);

// A-Z and U+0410..U+042F lowercased; nothing else changes.
std::u16string LowerLatinCyr(std::u16string_view s);
// Numeric character references ("&#" decimal, "U+" hexadecimal, ";" optional) decoded.
std::u16string DecodeCharRefs(std::u16string_view s);

}  // namespace kes
