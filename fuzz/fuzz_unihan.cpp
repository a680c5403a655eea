// The Unihan database and its index as anyone may hand them over: the first input byte
// chooses whether the fuzzed bytes are unihan.txt (indexed, then read back) or unihan.idc
// (loaded beside a small real unihan.txt). Lookups answer or throw IoError.
#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "charinfo/unihan.h"
#include "fuzz_support.h"

using namespace kes;

namespace {

const char kRealText[] =
    "U+4E2D\tkDefinition\tcentral; center, middle\n"
    "U+4E2D\tkMandarin\tzhōng\n"
    "U+570B\tkDefinition\tnation, country <&>\n"
    "U+570B\tkSimplifiedVariant\tU+56FD\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text = fuzz::ScratchFile(kUnihanTextName);
    const std::string index = fuzz::ScratchFile(kUnihanIndexName);
    if (data[0] & 1) {
        fuzz::WriteFile(text, data + 1, size - 1);
        RemoveFile(index);
        BuildUnihanIndex(text, index);
    } else {
        fuzz::WriteFile(text, kRealText);
        fuzz::WriteFile(index, data + 1, size - 1);
    }
    UnihanIndex loaded;
    LoadUnihanIndex(fuzz::Scratch(), loaded);
    for (std::u16string q : {u"中", u"國", u"a", u"\uFFFF", u""}) {
        try {
            (void)UnihanInfoHtml(q, loaded, true, "Arial", "Times");
            (void)UnihanLinesOf(q, loaded, true);
        } catch (const IoError&) {
        }
    }
    return 0;
}
