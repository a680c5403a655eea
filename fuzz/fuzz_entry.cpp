// Data file lines as anyone may hand them over: every line of a fuzzed ".ced" file read,
// split into its fields, rendered as a page block (with notes, and as a CEDICT file with its
// reference links and coloured pinyin) and as plain text, and its references decoded and letter
// case folded, and the word of every reference link read back.
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
        PageFonts colored;
        colored.Pinyin = PagePinyinOf("colored", "");
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
            const Entry cedict = EntryOf(line, true, SenseConvention::References);
            std::string page;
            AppendEntryHtml(page, cedict, colored);
            std::string text;
            AppendEntryPlainText(text, cedict, PinyinStyle::Zhuyin);
            for (const EntryReference& r : cedict.References) {
                if (r.Begin >= r.End || r.End > cedict.Text.size()) __builtin_trap();
                (void)SearchWordOfLink(SearchLinkHref(ReferenceForm(cedict, r)));
            }
            (void)LowerLatinCyr(DecodeCharRefs(line));
        }
        f.close();
    } catch (const IoError&) {
    }
    return 0;
}
