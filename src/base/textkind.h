// What kind of text a file holds, judged from its first bytes: so that a command that takes
// UTF-16LE data files can refuse a UTF-8 download or a binary file before it writes anything.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kes {

enum class TextKind {
    Utf16Le,    // UTF-16LE text (or nothing to judge: no bytes)
    Utf8,       // UTF-8 (or ASCII) text: a UTF-8 byte-order mark, or no zero byte and valid UTF-8
    Utf16Be,    // UTF-16 big-endian: its byte-order mark, or text whose zero bytes come first
                // in their pairs more often than second
    Binary,     // neither: code units that no text holds
};

// The bytes that TextKindOf needs at most: the first 64 KiB of the file.
inline constexpr std::size_t kTextKindHead = 64 * 1024;

// Judges `head`, the first bytes of a file (all of them when `whole`; else a character cut
// at the end of the head is not held against it). UTF-16LE text holds no U+0000, no control
// character but tab, line feed, form feed and carriage return, no U+FFFE or U+FFFF and no
// unpaired surrogate; a UTF-16LE byte-order mark decides at once. A trailing odd byte is not
// judged (the reader of the data file reports an odd size itself).
TextKind TextKindOf(std::string_view head, bool whole);

// The same judgement of the file at `path`, from its first kTextKindHead bytes; nothing when it
// cannot be read (the command that reads it then reports why).
std::optional<TextKind> FileTextKind(const std::string& path);

// Why a file of `kind` is not the text a command wants, in the words of its refusals ("it reads
// as UTF-8", "it reads as UTF-16 big-endian", "it reads as UTF-16LE", "it holds binary data").
const char* TextKindReason(TextKind kind);

}  // namespace kes
