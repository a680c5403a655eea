// Small text helpers shared by the whole core: UTF conversions, trimming,
// numeric character references.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kes {

// UTF-8 to UTF-16; invalid or truncated sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
// UTF-8 to UTF-16 for input that must be valid: false, with the byte offset of the first
// invalid or truncated sequence (overlong forms, surrogates and values above U+10FFFF count as
// invalid) in `badOffset`, when it is not.
bool Utf8ToUtf16Strict(std::string_view s, std::u16string& out, std::size_t& badOffset);
// UTF-16 to UTF-8; a surrogate pair becomes one character, a lone surrogate U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);

// Trimming removes leading and trailing code units up to U+0020.
std::u16string Trim(std::u16string_view s);
// The same without a copy: a view of the trimmed part of `s`.
std::u16string_view TrimView(std::u16string_view s);
std::string TrimA(std::string_view s);

// "&#" + the code unit's value in decimal + ";".
std::string CharRef(char16_t c);
// Every code unit of the text written as a character reference.
std::string CharRefs(std::u16string_view s);

// Replaces every occurrence of `pattern` (ASCII letters compared without regard to case).
std::u16string ReplaceAllNoCase(std::u16string_view s, std::u16string_view pattern,
                                std::u16string_view replacement);
std::string ReplaceAllNoCaseA(std::string_view s, std::string_view pattern,
                              std::string_view replacement);

// `bytes` for a link: every byte but RFC 3986's unreserved characters (ASCII letters, digits,
// "-", ".", "_", "~") written as "%" and two upper-case hex digits.
std::string PercentEncoded(std::string_view bytes);
// The bytes of a percent-encoded `text`; nothing when a "%" is not followed by two hex digits.
std::optional<std::string> PercentDecoded(std::string_view text);

// Shorthand for ASCII literals as wide strings.
std::u16string U(std::string_view ascii);

}  // namespace kes
