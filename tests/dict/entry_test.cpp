#include "dict/entry.h"

#include <gtest/gtest.h>

#include "support/tempdir.h"

namespace kes {
namespace {

using test::W;

TEST(SplitEntryLine, FieldsAndHeadForm) {
    auto e = SplitEntryLine(W(" a b [x] /y/ "));
    EXPECT_EQ(e.Word, u"a b");
    EXPECT_EQ(e.Pinyin, u"x");
    EXPECT_EQ(e.Translation, u"/y/");
    EXPECT_EQ(HeadForm(e.Word), u"a");
    auto g = SplitEntryLine(W("w [p[q] /a [b] c/"));
    EXPECT_EQ(g.Pinyin, u"p[q");
    EXPECT_EQ(g.Translation, u"/a [b] c/");
    auto h = SplitEntryLine(W("只有词"));
    EXPECT_EQ(h.Word, W("只有词"));
    EXPECT_EQ(h.Pinyin, u"");
    EXPECT_EQ(h.Translation, u"");
    EXPECT_EQ(HeadForm(W("國 国")), W("國"));
    EXPECT_EQ(LayoutOf(u"a]b [p] /x/").Open, 4u);
    EXPECT_EQ(LayoutOf(u"a]b [p] /x/").Close, 6u);
    EXPECT_EQ(LayoutOf(u"a [p").Close, std::u16string_view::npos);
}

// The translation as its pieces: "T:" text, "/" a sense end, "|" a note, and the tokens.
std::string PiecesOf(std::u16string_view line) {
    const Entry e = EntryOf(line, true);
    std::string out;
    for (const TranslationPiece& p : e.Pieces) {
        if (!out.empty()) out += ' ';
        switch (p.Mark) {
            case TranslationMark::Text:
                out += "T:";
                for (char16_t c : e.TextOf(p))
                    out += static_cast<char>(c);
                break;
            case TranslationMark::SenseEnd: out += "/"; break;
            case TranslationMark::NoteStart: out += "|"; break;
            case TranslationMark::Break: out += "br"; break;
            case TranslationMark::BoldStart: out += "bs"; break;
            case TranslationMark::BoldEnd: out += "be"; break;
            case TranslationMark::ExampleStart: out += "cs"; break;
            case TranslationMark::ExampleEnd: out += "ce"; break;
        }
    }
    return out;
}

TEST(EntryModel, TranslationPieces) {
    const std::vector<std::pair<const char16_t*, std::string>> rows = {
        {u"w [p] /a/b/", "T:a / T:b"},
        {u"w [p] a/b", "T:a / T:b"},  // no outer slashes: the first and last units stay text
        {u"w [p] /", ""},
        {u"w [p] //a//", "/ T:a /"},
        {u"w [p] /a|x y/b/", "T:a | T:x y / T:b"},
        {u"w [p] /[BS]b[be] [cs]e[CE]/", "bs T:b be T:  cs T:e ce"},
        {u"w [p] /a<br>b[bR]c/", "T:a br T:b br T:c"},
        {u"w [p] /<b>x[b[br]/", "T:[b]x[b br"},  // "[b" is text, "[br]" the token after it
        {u"w [p] /[br/", "T:[br"},
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(PiecesOf(line), expected);
}

TEST(EntryModel, FormsAndSimplified) {
    Entry e = EntryOf(W("國  国 [guo2] /x/"), true);
    EXPECT_EQ(e.Head, W("國"));
    EXPECT_EQ(e.OtherForms, W(" 国"));  // as written: the page shows an empty form
    EXPECT_EQ(e.Forms, (std::vector<std::u16string>{W("國"), W("国")}));
    EXPECT_EQ(e.Simplified, W("国"));
    e = EntryOf(W("國 [guo2] /x/"), true);
    EXPECT_EQ(e.Forms, (std::vector<std::u16string>{W("國")}));
    EXPECT_EQ(e.Simplified, W("国"));
    EXPECT_EQ(EntryOf(W("國 [guo2] /x/"), false).Simplified, W("國"));
    e = EntryOf(u"", true);
    EXPECT_EQ(e.Forms, (std::vector<std::u16string>{u""}));
    EXPECT_TRUE(e.Pieces.empty());
}

TEST(EntryModel, SensesAsPlainLines) {
    const Entry e = EntryOf(u"w [p] /[bs]a[be] b[br] c |n1[br]n2|n3/ /|only note/x\ny/", true);
    const std::vector<EntrySense> s = SensesOf(e);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].Lines, (std::vector<std::u16string>{u"a b", u"c"}));
    EXPECT_EQ(s[0].Notes, (std::vector<std::u16string>{u"n1", u"n2", u"n3"}));
    EXPECT_EQ(s[1].Lines, (std::vector<std::u16string>{}));
    EXPECT_EQ(s[1].Notes, (std::vector<std::u16string>{u"only note"}));
    EXPECT_EQ(s[2].Lines, (std::vector<std::u16string>{u"x", u"y"}));
}


// The dictionary's rule of "|": a note in files converted from DSL, part of a reference in
// CEDICT files, whose senses stay whole.
TEST(EntryModel, BarIsANoteOrPartOfAReference) {
    const std::u16string line = W("電腦 电脑 [dian4 nao3] /computer/CL:臺|台[tai2]/");
    struct Case {
        SenseConvention convention;
        std::vector<std::u16string> secondLines;
        std::vector<std::u16string> secondNotes;
        std::u16string refFirst, refSecond;
    };
    const Case cases[] = {
        {SenseConvention::References, {W("CL:臺|台[tai2]")}, {}, W("臺"), W("台")},
        {SenseConvention::Notes, {W("CL:臺")}, {W("台[tai2]")}, W("台"), u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.convention));
        const Entry e = EntryOf(line, true, c.convention);
        const std::vector<EntrySense> s = SensesOf(e);
        ASSERT_EQ(s.size(), 2u);
        EXPECT_EQ(s[1].Lines, c.secondLines);
        EXPECT_EQ(s[1].Notes, c.secondNotes);
        ASSERT_EQ(e.References.size(), 1u);
        EXPECT_EQ(e.References[0].First, c.refFirst);
        EXPECT_EQ(e.References[0].Second, c.refSecond);
        EXPECT_EQ(e.References[0].Pinyin, u"tai2");
        const EntryReference& r = e.References[0];
        EXPECT_EQ(e.Text.substr(r.Begin, r.End - r.Begin),
                  c.refSecond.empty() ? W("台[tai2]") : W("臺|台[tai2]"));
    }
    // Only references with pinyin can be followed; a markup token is none.
    const Entry e = EntryOf(W("敲開 敲开 [qiao1 kai1] /like ∼的大門|∼的大门) to open/[br]x/"), true,
                            SenseConvention::References);
    EXPECT_TRUE(e.References.empty());
}

TEST(EntryModel, ReferenceFormFollowsTheEntrysScript) {
    struct Case {
        const char* line;
        bool both;
        bool simplified;
    };
    const Case cases[] = {
        {"電腦 电脑 [dian4 nao3] /CL:臺|台[tai2]/", true, false},  // traditional first
        {"电脑 [dian4 nao3] /CL:臺|台[tai2]/", true, true},        // simplified alone
        {"电脑 [dian4 nao3] /CL:臺|台[tai2]/", false, true},       // whatever the option
        {"電腦 [dian4 nao3] /CL:臺|台[tai2]/", false, false},      // traditional alone
        {"台 台 [tai2] /variant of 臺|台[tai2]/", true, false},    // alike in both: CEDICT order
        {"中 [zhong1] /CL:臺|台[tai2]/", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Entry e = EntryOf(W(c.line), c.both, SenseConvention::References);
        EXPECT_EQ(WritesSimplified(e), c.simplified);
        ASSERT_EQ(e.References.size(), 1u);
        EXPECT_EQ(ReferenceForm(e, e.References[0]), c.simplified ? W("台") : W("臺"));
    }
}

}  // namespace
}  // namespace kes
