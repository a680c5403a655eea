#include "charinfo/unihan.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "base/textkind.h"

namespace kes {

namespace {

// The code of a data line ("U+" and four or five hexadecimal digits), or -1.
int32_t LineCode(const std::string& trimmed) {
    if (trimmed.empty() || trimmed[0] == '#') return -1;
    if (trimmed.size() < 7 || trimmed[0] != 'U' || trimmed[1] != '+') return -1;
    std::string digits = TrimA(std::string_view(trimmed).substr(2, 5));
    if (digits.size() < 4) return -1;
    int32_t code = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return -1;
        code = code * 16 + d;
    }
    return code;
}

// Whether a trimmed line with a code (LineCode) is a Unihan line: the code alone ("U+" and
// four or five hexadecimal digits) before the first TAB, and a tag after it.
bool IsUnihanLine(std::string_view trimmed) {
    const std::size_t tab = trimmed.find('\t');
    if (tab != 6 && tab != 7) return false;
    for (std::size_t i = 2; i < tab; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(trimmed[i]))) return false;
    const std::size_t tag = trimmed.find_first_not_of('\t', tab);
    return tag != std::string_view::npos;
}

void WriteRecord(ByteFile& f, int32_t code, int32_t offset) {
    f.writeI32(code);
    f.writeI32(offset);
}

// One line of unihan.txt for the page, read under the same rules as ReadUtf8LineAsRefs (LF
// ends it, CR is dropped, at most 9999 bytes per call): multi-byte characters become "&#N;"
// and the ASCII characters "<", ">" and "&" become entities, so the file's text can never
// form markup while the references stay references. Malformed sequences become U+FFFD.
std::string ReadUnihanLineForPage(ByteFile& f) {
    std::string line;
    int count = 0;
    int pending = 0;
    uint32_t value = 0;
    auto ref = [&line](uint32_t v) {
        line += "&#";
        line += std::to_string(v);
        line += ';';
    };
    while (count < kMaxLineUnits && !f.eof()) {
        uint8_t b = f.readU8();
        ++count;
        if (pending > 0) {
            if ((b & 0xC0) == 0x80) {
                value = value * 64 + (b & 0x3F);
                if (--pending == 0) ref(value);
                continue;
            }
            // A sequence cut short: mark it and treat this byte on its own.
            pending = 0;
            ref(0xFFFD);
        }
        if (b == 0x0D) continue;
        if (b == 0x0A) break;
        if ((b & 0xE0) == 0xC0) {
            pending = 1, value = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            pending = 2, value = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            pending = 3, value = b & 0x07;
        } else if (b >= 0x80) {
            ref(0xFFFD);
        } else if (b == '<') {
            line += "&lt;";
        } else if (b == '>') {
            line += "&gt;";
        } else if (b == '&') {
            line += "&amp;";
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    return line;
}

// One line of unihan.txt as text: the same line ends and byte limit, bytes kept as they
// are (malformed sequences become U+FFFD).
std::string ReadUnihanLineRaw(ByteFile& f) {
    std::string line;
    int count = 0;
    while (count < kMaxLineUnits && !f.eof()) {
        uint8_t b = f.readU8();
        ++count;
        if (b == 0x0D) continue;
        if (b == 0x0A) break;
        line.push_back(static_cast<char>(b));
    }
    return Utf16ToUtf8(Utf8ToUtf16(line));
}

// The TAB-separated words of a line (runs of TABs are one separator).
std::vector<std::string_view> TabWords(std::string_view line, std::size_t most) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size() && words.size() < most) {
        while (i < line.size() && line[i] == '\t')
            ++i;
        if (i >= line.size()) break;
        std::size_t end = line.find('\t', i);
        if (end == std::string_view::npos) end = line.size();
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

}  // namespace

UnihanBuildResult BuildUnihanIndex(const std::string& sourcePath, const std::string& indexPath,
                                   const UnihanBuildCallbacks& cb) {
    UnihanBuildResult result;
    try {
        ByteFile src(sourcePath, OpenMode::Read);
        const int64_t total = src.size();
        // The database is UTF-8 text: anything else (a UTF-16 dictionary file, binary data)
        // is refused before the index is touched. A file of no or one byte has nothing to
        // judge; it holds no Unihan line either.
        std::string head(static_cast<std::size_t>(std::min<int64_t>(total, kTextKindHead)), '\0');
        src.read(head.data(), head.size());
        src.seek(0);
        if (const TextKind kind = TextKindOf(head, head.size() == static_cast<std::size_t>(total));
            kind != TextKind::Utf8 && total > 1) {
            src.close();
            result.outcome.message = UnihanRefusal(sourcePath, TextKindReason(kind));
            return result;
        }
        FileReplacement replacement(indexPath);
        ByteFile& idc = replacement.file();
        int32_t prev = 0;
        bool unihanLines = false;
        while (!src.eof()) {
            const int64_t pos = src.position();
            if (cb.processMessages) cb.processMessages();
            if (CancelRequested(cb.cancelRequested)) {
                replacement.discard();
                result.records = 0;
                result.outcome.cancelled = true;
                result.outcome.message = std::string(kUnihanCancelledMessage);
                return result;
            }
            if (cb.progress)
                cb.progress(static_cast<int>(static_cast<double>(pos) / static_cast<double>(total) *
                                             100.0));
            if (cb.processMessages) cb.processMessages();
            std::string line = TrimA(ReadAnsiLine(src));
            int32_t code = LineCode(line);
            if (code < 0) continue;
            unihanLines = unihanLines || IsUnihanLine(line);
            if (code == prev) continue;
            // Offsets are 32-bit signed: a run beyond 2 GiB cannot be indexed.
            if (pos > std::numeric_limits<int32_t>::max())
                throw IoError(sourcePath, "File too large for the index (over 2 GiB)");
            WriteRecord(idc, code, static_cast<int32_t>(pos));
            ++result.records;
            prev = code;
        }
        src.close();
        if (!unihanLines) {
            replacement.discard();
            result.records = 0;
            result.outcome.message = UnihanRefusal(sourcePath, kNoUnihanLinesReason);
            return result;
        }
        replacement.commit();
        result.outcome.ok = true;
        result.outcome.message = std::string(kUnihanCreatedMessage);
    } catch (...) {
        result.outcome.detail = CurrentExceptionDetail();
        result.records = 0;
        result.outcome.message = std::string(kUnihanFailedMessage);
    }
    return result;
}

std::string UnihanRefusal(const std::string& sourcePath, std::string_view reason) {
    return "Refused: " + sourcePath + " is no Unihan database file (" + std::string(reason) +
           "); nothing was written.";
}

std::string LoadUnihanIndex(const std::string& programFolder, UnihanIndex& index) {
    index.Records.clear();
    index.Available = false;
    index.TextPath = JoinPath(programFolder, kUnihanTextName);
    const std::string idcPath = JoinPath(programFolder, kUnihanIndexName);
    if (!FileExists(idcPath) || !FileExists(index.TextPath)) return {};
    try {
        const std::string bytes = ReadSmallFile(idcPath, kMaxUnihanIndexBytes);
        const std::size_t count = bytes.size() / 8;
        index.Records.resize(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < index.Records.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + i * 8;
            auto i32 = [](const uint8_t* q) {
                return static_cast<int32_t>(uint32_t{q[0]} | uint32_t{q[1]} << 8 |
                                            uint32_t{q[2]} << 16 | uint32_t{q[3]} << 24);
            };
            index.Records[i] = UnihanRecord{i32(p), i32(p + 4)};
        }
    } catch (...) {  // unreadable, too large, or no memory for it: no Unihan block
        index.Records.clear();
        return {};
    }
    index.Available = true;
    return std::string(kUnihanFoundLine);
}

namespace {

// Walks the runs of code unit c: calls row(f2, f3) for every line of every run, and
// first() before the first run.
template <typename ReadLine, typename First, typename Row>
void WalkRuns(ByteFile& txt, const UnihanIndex& index, int32_t c, ReadLine readLine, First first,
              Row row) {
    bool started = false;
    for (const UnihanRecord& rec : index.Records) {
        if (rec.Code != c) continue;
        if (!started) {
            started = true;
            first();
        }
        txt.seek(rec.Offset);
        std::string firstCode;
        while (!txt.eof()) {
            std::string line = readLine(txt);
            auto words = TabWords(line, 3);
            std::string f1 = words.size() > 0 ? std::string(words[0]) : std::string();
            if (firstCode.empty()) firstCode = f1;
            if (f1 != firstCode) break;
            row(words.size() > 1 ? std::string(words[1]) : std::string(),
                words.size() > 2 ? std::string(words[2]) : std::string());
        }
    }
}

}  // namespace

std::vector<UnihanLine> UnihanLinesOf(std::u16string_view query, const UnihanIndex& index,
                                      bool showUnihan) {
    std::vector<UnihanLine> lines;
    if (!index.Available || !showUnihan || !FileExists(index.TextPath)) return lines;
    ByteFile txt(index.TextPath, OpenMode::Read);
    if (query.empty()) return lines;
    WalkRuns(
        txt, index, query[0], ReadUnihanLineRaw, [] {},
        [&lines](std::string tag, std::string value) {
            lines.push_back(UnihanLine{std::move(tag), std::move(value)});
        });
    txt.close();
    return lines;
}

std::string UnihanInfoHtml(std::u16string_view query, const UnihanIndex& index, bool showUnihan,
                           const std::string& wordFace, const std::string& translationFace) {
    std::string result;
    if (!index.Available || !showUnihan || !FileExists(index.TextPath)) return result;
    ByteFile txt(index.TextPath, OpenMode::Read);
    if (query.empty()) return result;
    const int32_t c = query[0];
    std::string rows;
    WalkRuns(
        txt, index, c, ReadUnihanLineForPage,
        [&] {
            result += kUnihanSpacer;
            result += kUnihanHeader;
            result += "<p style=\"font-size:14pt; margin:2;\"><font face=\"" + wordFace + "\">&#" +
                      std::to_string(c) + ";</font></p>";
        },
        [&](const std::string& f2, const std::string& f3) {
            if (rows.empty()) rows = "<table>";
            rows += "<tr><td style=\"font-size:10pt;\"><font color=\"999999\" face=\"" +
                    translationFace + "\"><i>" + f2 + "</i></font></td>" +
                    "<td width=\"10\">&nbsp;</td>" + "<td style=\"font-size:10pt;\"><font face=\"" +
                    translationFace + "\">" + f3 + "</font></td></tr>";
        });
    if (!rows.empty()) rows += "</table>";
    result += rows;
    result += kUnihanSpacer;
    txt.close();
    return result;
}

}  // namespace kes
