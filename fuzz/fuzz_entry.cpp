// Data file lines as anyone may hand them over: every line of a fuzzed ".ced" file read,
// split into its fields, rendered as a page block and as plain text, and its references
// decoded and letter case folded.
#include <cstdint>
#include <string>

#include "app/resultpage.h"
#include "app/textwriter.h"
#include "base/bytefile.h"
#include "base/lines.h"
#include "dict/entry.h"
#include "fuzz_support.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("e.ced");
    fuzz::WriteFile(path, data, size);
    try {
        ByteFile f(path, OpenMode::Read);
        PageFonts fonts;
        while (!f.eof()) {
            const int64_t before = f.position();
            std::u16string line = ReadUcs2Line(f);
            if (f.position() <= before) __builtin_trap();  // a reader that does not advance
            EntryFields fields = SplitEntryLine(line);
            (void)HeadForm(fields.Word);
            (void)RenderEntryLine(line, fonts, true);
            (void)RenderEntryLine(line, fonts, false);
            (void)EntryPlainText(line, true);
            (void)SensesOf(EntryOf(line, false));
            (void)LowerLatinCyr(DecodeCharRefs(line));
        }
        f.close();
    } catch (const IoError&) {
    }
    return 0;
}
