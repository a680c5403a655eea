// The DSL converter on fuzzed sources: it converts or reports a failure, never crashes, and
// its output is always whole lines of UTF-16LE.
#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "dsl/converter.h"
#include "fuzz_support.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("s.dsl");
    fuzz::WriteFile(path, data, size);
    DslResult r = ConvertDsl(path, fuzz::Scratch());
    if (r.outcome.ok) {
        // The output is UTF-16LE: an even number of bytes.
        if (FileSizeOf(r.outputPath) % 2 != 0) __builtin_trap();
    }
    return 0;
}
