#include "tools/entrytext.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::W;
using test::Ws;

TEST(UserdictKeyTest, DropsBlanksBeforeTheBracketAndTrims) {
    EXPECT_EQ(UserdictKey(u"a b [p] /x/"), u"ab");
    EXPECT_EQ(UserdictKey(W("中国 [zhong1 guo2] /China/")), W("中国"));
    EXPECT_EQ(UserdictKey(u"\t a  b \t"), u"ab");  // tabs are trimmed, not dropped inside
    EXPECT_EQ(UserdictKey(u"a\tb [x]"), u"a\tb");
    EXPECT_EQ(UserdictKey(u"no bracket at all"), u"nobracketatall");
    EXPECT_EQ(UserdictKey(u"[p] /x/"), u"");
    // U+3000 is neither dropped nor trimmed.
    EXPECT_EQ(UserdictKey(W("\xE3\x80\x80"
                            "a [p]")),
              W("\xE3\x80\x80"
                "a"));
}

TEST(ParseEntryForEditTest, SplitsFieldsAndSenses) {
    EditableEntry e = ParseEntryForEdit(W("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/"));
    EXPECT_EQ(e.Word, W("中國 中国"));
    EXPECT_EQ(e.Pinyin, u"Zhong1 guo2");
    EXPECT_EQ(e.Translation, u"China / Middle Kingdom");
    EXPECT_EQ(e.ImagePath, u"");

    e = ParseEntryForEdit(u"w [p] /a/b/");
    EXPECT_EQ(e.Translation, u"a / b");
    e = ParseEntryForEdit(u"w [p] a");
    EXPECT_EQ(e.Translation, u"a");
    e = ParseEntryForEdit(u"w [p] //a//");
    EXPECT_EQ(e.Translation, u"a");
    e = ParseEntryForEdit(u"w [p] /");
    EXPECT_EQ(e.Translation, u"");
}

TEST(ParseEntryForEditTest, BracketsOutOfPlaceAreText) {
    EditableEntry e = ParseEntryForEdit(u"a]b [p[q] /x [y]/z/");
    EXPECT_EQ(e.Word, u"a]b");
    EXPECT_EQ(e.Pinyin, u"p[q");
    EXPECT_EQ(e.Translation, u"x [y] / z");
    e = ParseEntryForEdit(u"only word");
    EXPECT_EQ(e.Word, u"only word");
    EXPECT_EQ(e.Pinyin, u"");
    EXPECT_EQ(e.Translation, u"");
}

TEST(ParseEntryForEditTest, ImagePathTagsAndTextAfterTheEndTag) {
    EditableEntry e = ParseEntryForEdit(u"w [p] /a/ [is]pic.png[ie]");
    EXPECT_EQ(e.Translation, u"a");
    EXPECT_EQ(e.ImagePath, u"pic.png");
    // Text after "[ie]" stays with the image path; it never reaches the translation.
    e = ParseEntryForEdit(u"w [p] /a/ [is]pic.png[ie] more");
    EXPECT_EQ(e.Translation, u"a");
    EXPECT_EQ(e.ImagePath, u"pic.png more");
    // A second "[is]" inside the image path is kept as text; "[is" cut short is translation.
    e = ParseEntryForEdit(u"w [p] /a/ [is]x[is]y");
    EXPECT_EQ(e.ImagePath, u"x[is]y");
    e = ParseEntryForEdit(u"w [p] /a/ [is");
    EXPECT_EQ(e.Translation, u"a /  [is");  // the blank before "[" stays
    // "[is]" before the pinyin's "]" is pinyin text.
    e = ParseEntryForEdit(u"w [p [is]q] /a/");
    EXPECT_EQ(e.Pinyin, u"p [is");
    EXPECT_EQ(e.Translation, u"q]  / a");
}

TEST(ShowTranslationTest, OneTrimmedLinePerSense) {
    EXPECT_EQ(ShowTranslation(u"a / b"), Ws({"a", "b"}));
    EXPECT_EQ(ShowTranslation(u"  China / Middle Kingdom "), Ws({"China", "Middle Kingdom"}));
    EXPECT_EQ(ShowTranslation(u"/a/b"), Ws({"a", "b"}));
    EXPECT_EQ(ShowTranslation(u"a /  / b"), Ws({"a", "b"}));
    EXPECT_EQ(ShowTranslation(u""), Ws({}));
    EXPECT_EQ(ShowTranslation(u" / "), Ws({}));
    EXPECT_EQ(ShowTranslation(u"a&sl;b"), Ws({"a&sl;b"}));
}

TEST(ShowTranslationTest, LastSenseBeforeAClosingSlashIsKept) {
    // "x / a /" arises from the translation "/x/a/ /"; the sense "a" must not be lost.
    EXPECT_EQ(ShowTranslation(u"x / a /"), Ws({"x", "a"}));
    EditableEntry e = ParseEntryForEdit(u"w [p] /x/a/ /");
    EXPECT_EQ(ShowTranslation(e.Translation), Ws({"x", "a"}));
}

TEST(CollectTranslationTest, NormalisesMemoAndEscapesSlash) {
    CollectedTranslation c = CollectTranslation(Ws({" a/b ", "", "c"}));
    EXPECT_EQ(c.Lines, Ws({"a&sl;b", "c"}));
    EXPECT_EQ(c.NewDesc, u"a&sl;b/c");

    c = CollectTranslation(Ws({"either/or"}));
    EXPECT_EQ(c.NewDesc, u"either&sl;or");
    c = CollectTranslation(Ws({"  ", "\t", ""}));
    EXPECT_TRUE(c.Lines.empty());
    EXPECT_EQ(c.NewDesc, u"");
    c = CollectTranslation(Ws({"//"}));
    EXPECT_EQ(c.NewDesc, u"&sl;&sl;");
}

TEST(EntryFormTest, CedictLineRoundTrip) {
    const std::u16string line = W("中國 中国 [Zhong1 guo2] /China/Middle Kingdom/");
    EntryForm form;
    LoadEntryForm(form, line);
    EXPECT_EQ(form.Word, W("中國 中国"));
    EXPECT_EQ(form.Pin, u"Zhong1 guo2");
    EXPECT_EQ(form.Memo, Ws({"China", "Middle Kingdom"}));
    std::u16string out;
    ASSERT_TRUE(CollectEntryForm(form, &out));
    EXPECT_EQ(out, line);
}

TEST(EntryFormTest, CollectTrimsEscapesAndComposes) {
    EntryForm form;
    form.Word = u"  w ";
    form.Pin = u" p\t";
    form.Memo = Ws({" either/or ", "", "  ", "b"});
    std::u16string out;
    ASSERT_TRUE(CollectEntryForm(form, &out));
    EXPECT_EQ(out, u"w [p] /either&sl;or/b/");
    EXPECT_EQ(form.Word, u"w");
    EXPECT_EQ(form.Pin, u"p");
    EXPECT_EQ(form.Memo, Ws({"either&sl;or", "b"}));
    EXPECT_EQ(form.NewDesc, u"either&sl;or/b");
}

TEST(EntryFormTest, ImagePathIsDroppedAndMissingFieldsRefused) {
    EntryForm form;
    LoadEntryForm(form, u"w [p] /a/ [is]pic.png[ie]");
    std::u16string out;
    ASSERT_TRUE(CollectEntryForm(form, &out));
    EXPECT_EQ(out, u"w [p] /a/");

    LoadEntryForm(form, u"just a word");
    EXPECT_EQ(form.Word, u"just a word");
    EXPECT_EQ(form.Pin, u"");
    out = u"unchanged";
    EXPECT_FALSE(CollectEntryForm(form, &out));
    EXPECT_EQ(out, u"unchanged");

    form = EntryForm{u"w", u"p", Ws({" ", ""}), u""};
    EXPECT_FALSE(CollectEntryForm(form, &out));
    EXPECT_TRUE(form.Memo.empty());  // normalised even when refused
    form = EntryForm{u" ", u"p", Ws({"a"}), u""};
    EXPECT_FALSE(CollectEntryForm(form, &out));
    EXPECT_EQ(form.Word, u"");
}

}  // namespace
}  // namespace kes
