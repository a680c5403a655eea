#include "base/memoryrelease.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>

namespace kes {

namespace {

bool ParseHex(std::string_view text, std::uintptr_t& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out, 16);
    return ec == std::errc() && p == end && !text.empty();
}

// The next blank-separated field of `line` from `pos` (empty at the end).
std::string_view Field(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::size_t begin = pos;
    while (pos < line.size() && line[pos] != ' ') ++pos;
    return line.substr(begin, pos - begin);
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != tail[i]) return false;
    return true;
}

}  // namespace

std::vector<ReadOnlyFileMapping> ReadOnlyFileMappings(std::string_view mapsText) {
    // "start-end perms offset dev inode path", the path starting at a fixed column.
    std::vector<ReadOnlyFileMapping> out;
    while (!mapsText.empty()) {
        const std::size_t nl = mapsText.find('\n');
        std::string_view line = mapsText.substr(0, nl);
        mapsText.remove_prefix(nl == std::string_view::npos ? mapsText.size() : nl + 1);
        std::size_t pos = 0;
        const std::string_view range = Field(line, pos);
        const std::string_view perms = Field(line, pos);
        for (int i = 0; i < 3; ++i) Field(line, pos);  // offset, device, inode
        while (pos < line.size() && line[pos] == ' ') ++pos;
        const std::string_view path = line.substr(pos);
        if (perms != "r--p" && perms != "r--s") continue;
        if (path.empty() || path[0] != '/' || EndsWithNoCase(path, " (deleted)")) continue;
        const std::size_t dash = range.find('-');
        ReadOnlyFileMapping m;
        if (dash == std::string_view::npos || !ParseHex(range.substr(0, dash), m.start) ||
            !ParseHex(range.substr(dash + 1), m.end) || m.end <= m.start)
            continue;
        m.path = std::string(path);
        out.push_back(std::move(m));
    }
    return out;
}

bool IsFontFile(std::string_view path) {
    for (std::string_view ext : {".ttf", ".ttc", ".otf", ".otc", ".pfb", ".pfa", ".pcf",
                                 ".pcf.gz"})
        if (EndsWithNoCase(path, ext)) return true;
    return false;
}

std::size_t ReleaseFontPages() {
    // /proc/self/maps, unlike smaps, does not walk the page tables: reading it costs little.
    std::ifstream in("/proc/self/maps", std::ios::binary);
    if (!in) return 0;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t advised = 0;
    for (const ReadOnlyFileMapping& m : ReadOnlyFileMappings(text)) {
        if (!IsFontFile(m.path)) continue;
        if (::madvise(reinterpret_cast<void*>(m.start), m.end - m.start, MADV_DONTNEED) == 0)
            ++advised;
    }
    return advised;
}

bool TrimHeap() {
    return ::malloc_trim(0) != 0;
}

}  // namespace kes
