// The DSL converter: turns the UTF-16LE source of a DSL dictionary with Chinese headwords into
// a ".ced" dictionary file beside it, one line per card, and writes convertlog.txt into the
// program folder. It reads and writes line by line, so its memory does not grow with the
// size of the input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"

namespace kes {

struct DslResult {
    // ok when the whole input was converted and every file closed cleanly. The message is
    // the closing text "Converted: " + count + " terms" (also after a failure); the detail is
    // empty on success, otherwise what failed and the file.
    Outcome outcome;
    int64_t count = 0;       // cards written to the output (also after a failure)
    std::string outputPath;  // the input path with the extension ".ced"
    std::string logPath;     // program folder + "convertlog.txt"
};

// Converts `inputPath` (kept as given in the log) into ChangeExtension(inputPath, ".ced").
// Refuses, before any file is created, an input with the extension ".ced" (any letter case)
// and an input that is the same file as the output or as the log. The output replaces an
// earlier one only when the conversion succeeded; the log is written either way (both as
// base/replacefile.h replaces files). Never throws: file errors
// end the conversion and are reported in the detail. `cancelRequested` is polled before every
// input line.
DslResult ConvertDsl(const std::string& inputPath, const std::string& programFolder,
                     const CancelPoll& cancelRequested = {});

// The closing text for a count: "Converted: " + count + " terms".
std::string ConvertedText(int64_t count);

// The tag rewrites of a candidate pinyin line and of a candidate sense or example line:
// case-insensitive replace-all operations applied one after the other.
std::u16string RewritePinyinLine(std::u16string_view line);
std::u16string RewriteSenseLine(std::u16string_view line);

}  // namespace kes
