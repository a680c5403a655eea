// Senses as any data file may hold them: the bytes as UTF-16LE code units searched for
// references, which must lie inside the text, in order and apart; and the same bytes as a data
// file whose first lines decide how its "|" reads.
#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "dict/senserefs.h"
#include "fuzz_support.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::u16string sense(size / 2, u'\0');
    for (std::size_t i = 0; i < sense.size(); ++i)
        sense[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    std::size_t last = 0;
    for (const SenseReference& r : FindSenseReferences(sense)) {
        if (r.begin < last || r.begin >= r.end || r.end > sense.size()) __builtin_trap();
        if (r.first.empty() || r.first.data() != sense.data() + r.begin) __builtin_trap();
        const char16_t* close = r.pinyin.empty() ? r.second.data() + r.second.size()
                                                 : r.pinyin.data() + r.pinyin.size() + 1;
        if (close != sense.data() + r.end) __builtin_trap();
        if (r.pinyin.empty() && r.second.empty()) __builtin_trap();
        last = r.end;
    }
    const std::string path = fuzz::ScratchFile("c.ced");
    fuzz::WriteFile(path, data, size);
    try {
        (void)SenseConventionOfDataFile(path);
    } catch (const IoError&) {
    }
    return 0;
}
