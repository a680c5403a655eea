// Giving memory back to the system in a process that runs for weeks (the viewer): pages of font
// files the process has read, and the free memory its heap keeps.
//
// A font file is mapped whole by the font library; every glyph drawn maps the pages around it,
// and the kernel counts them in the process's memory until the mapping ends, which for a font
// in use is never: a viewer that has shown ten thousand words holds most of its Chinese fonts.
// Read-only file pages can be dropped at any time and come back from the page cache at the next
// access, at the price of a minor fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

// A mapping of a file that can be neither written nor run (it holds no page of its own).
struct ReadOnlyFileMapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::string path;
    bool operator==(const ReadOnlyFileMapping&) const = default;
};

// The mappings of a /proc/PID/maps text whose permissions are "r--p" or "r--s" and that name a
// file (an absolute path, not a deleted file). Lines that do not parse are skipped.
std::vector<ReadOnlyFileMapping> ReadOnlyFileMappings(std::string_view mapsText);

// True for the files of a font library: .ttf, .ttc, .otf, .otc, .pfb, .pfa, .pcf (also gzipped
// .pcf.gz) in any case.
bool IsFontFile(std::string_view path);

// Drops the pages of this process's read-only mappings of font files (see above); returns the
// number of mappings advised. Call it from the thread that draws text: the font library maps
// and unmaps its files there, so none of them goes away meanwhile.
std::size_t ReleaseFontPages();

// Gives the heap's free memory back to the system (malloc_trim). True when some was given.
bool TrimHeap();

}  // namespace kes
