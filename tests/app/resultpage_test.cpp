#include "app/resultpage.h"

#include <gtest/gtest.h>

#include <random>

#include "app/queryflow.h"
#include "base/text.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::TempDir;
using test::W;

// The block around its three variable parts, with the default fonts.
std::string Block(const std::string& head, const std::string& pinyin,
                  const std::string& translation) {
    return "<table width=\"100%\" height=\"10\" cellpadding=\"0\" cellspacing=\"0\"><tr><td></td>"
           "</tr></table><table cellpadding=\"0\" cellspacing=\"0\"><tr bgcolor=\"#FFFFFF\">"
           "<td style=\"font-family:Arial; color:#101040; font-size:12;\">" +
           head +
           "</td><td style=\"font-family:Times; color:#104010; font-size:12;\"><i>&nbsp;&nbsp;" +
           pinyin +
           "</i></td></tr></table>\r\n<table width=\"100%\" cellpadding=\"8\" "
           "cellspacing=\"0\"><tr><td style=\"font-family:Times; font-size:12;\"><p "
           "style=\"margin:0;\"><font color=\"#000000\">" +
           translation + "</font></p></td></tr></table>\r\n";
}

std::string Render(const char* line, bool both = true) {
    return RenderEntryLine(W(line), PageFonts{}, both);
}

TEST(RenderEntry, WholeBlockCharacterForCharacter) {
    PageFonts fonts;
    fonts.ChrFontface = "MS Mincho";
    fonts.ChrFontsize = 20;
    fonts.PinFontface = "Courier New";
    fonts.PinFontsize = 9;
    fonts.DscFontface = "Verdana";
    fonts.DscFontsize = 11;
    EXPECT_EQ(RenderEntryLine(W("中國 中国 [zhong1 guo2] /China/Middle Kingdom/"), fonts, true),
              "<table width=\"100%\" height=\"10\" cellpadding=\"0\" cellspacing=\"0\"><tr><td>"
              "</td></tr></table>"
              "<table cellpadding=\"0\" cellspacing=\"0\"><tr bgcolor=\"#FFFFFF\">"
              "<td style=\"font-family:MS Mincho; color:#101040; font-size:20;\">"
              "&#20013;&#22283;&#32;&#91;&#20013;&#22269;&#93;</td>"
              "<td style=\"font-family:Courier New; color:#104010; font-size:9;\">"
              "<i>&nbsp;&nbsp;&#122;&#104;&#111;&#110;&#103;&#49;&#32;&#103;&#117;&#111;&#50;"
              "</i></td></tr></table>\r\n"
              "<table width=\"100%\" cellpadding=\"8\" cellspacing=\"0\"><tr>"
              "<td style=\"font-family:Verdana; font-size:11;\"><p style=\"margin:0;\">"
              "<font color=\"#000000\">China<br />Middle Kingdom</font></p></td>"
              "</tr></table>\r\n");
}

TEST(RenderEntry, HeadwordForms) {
    // 國 国 -> 國 [国]
    EXPECT_EQ(Render("國 国 [guo2] /x/"), Block(CharRefs(W("國 [国]")), CharRefs(u"guo2"), "x"));
    // a b c -> a [b, c]; a  b -> a [, b]
    EXPECT_EQ(Render("a b c [p] /x/"), Block(CharRefs(u"a [b, c]"), CharRefs(u"p"), "x"));
    EXPECT_EQ(Render("a  b [p] /x/"), Block(CharRefs(u"a [, b]"), CharRefs(u"p"), "x"));
    // A single traditional form gets its simplified text when both forms are searched.
    EXPECT_EQ(Render("國 [guo2] /x/"), Block(CharRefs(W("國  (国) ")), CharRefs(u"guo2"), "x"));
    EXPECT_EQ(Render("國 [guo2] /x/", false), Block(CharRefs(W("國")), CharRefs(u"guo2"), "x"));
    EXPECT_EQ(Render("国 [guo2] /x/"), Block(CharRefs(W("国")), CharRefs(u"guo2"), "x"));
    EXPECT_EQ(Render("學習 [xue2 xi2] /x/"),
              Block(CharRefs(W("學習  (学习) ")), CharRefs(u"xue2 xi2"), "x"));
    // A character outside the Basic Multilingual Plane is two references.
    EXPECT_EQ(Render("\xF0\xA0\x80\x80 [p] /x/"), Block("&#55360;&#56320;", "&#112;", "x"));
}

TEST(RenderEntry, LineWithoutBracket) {
    EXPECT_EQ(Render("中国 /China/"), Block(CharRefs(W("中国 [/China/]")), "", ""));
    EXPECT_EQ(Render("中"), Block("&#20013;", "", ""));
    EXPECT_EQ(Render(""), Block("", "", ""));
}

TEST(RenderEntry, TranslationSlashesAndNotes) {
    EXPECT_EQ(Render("a [p] /a/b/"), Block("&#97;", "&#112;", "a<br />b"));
    // Without the outer slashes the first and last characters stay.
    EXPECT_EQ(Render("a [p] a/b"), Block("&#97;", "&#112;", "a<br />b"));
    EXPECT_EQ(Render("a [p] /x|y/z/"),
              Block("&#97;", "&#112;",
                    "x</font></p><p style=\"margin:8;\"><font color=\"#777777\">y</font></p>"
                    "<p style=\"margin:0;\"><font color=\"#000000\">z"));
    // A note runs to the end of the translation when no "/" closes it.
    EXPECT_EQ(
        Render("a [p] /x|y z"),
        Block("&#97;", "&#112;", "x</font></p><p style=\"margin:8;\"><font color=\"#777777\">y z"));
    // A lone "/" is both first and last: nothing.
    EXPECT_EQ(Render("a [p] /"), Block("&#97;", "&#112;", ""));
    EXPECT_EQ(Render("a [p] //"), Block("&#97;", "&#112;", ""));
    EXPECT_EQ(Render("a [p] /中文/é/"), Block("&#97;", "&#112;", "&#20013;&#25991;<br />&#233;"));
}

// ---------------------------------------------------------------------------------------
// References and the look of the pinyin

std::string RenderCedict(const char* line, const PageFonts& fonts = {}) {
    std::string out;
    AppendEntryHtml(out, EntryOf(W(line), true, SenseConvention::References), fonts);
    return out;
}

TEST(RenderEntry, ReferencesAreLinksOfTheEntrysForm) {
    const std::string pinyin = CharRefs(W("dian4 nao3"));
    const std::string head = CharRefs(W("電腦 [电脑]"));
    struct Case {
        const char* line;
        std::string html;
    };
    const Case cases[] = {
        // Traditional entry: the traditional form; the sense stays whole, no note.
        {"電腦 电脑 [dian4 nao3] /computer/CL:臺|台[tai2]/",
         Block(head, pinyin,
               "computer<br />CL:<a href=\"kestrune:search?%E8%87%BA\">&#33274;</a>[tai2]")},
        // An entry written in simplified: the simplified form.
        {"电脑 [dian4 nao3] /CL:臺|台[tai2]/",
         Block(CharRefs(W("电脑")), pinyin,
               "CL:<a href=\"kestrune:search?%E5%8F%B0\">&#21488;</a>[tai2]")},
        // One form, a space before the bracket, several references; "X|Y" without pinyin
        // and markup stay text.
        {"電腦 电脑 [dian4 nao3] /see 連鍋端 [lian2 guo1 duan1], 學習|学习[xue2 xi2]/∼的大門|∼的大门[br]/",
         Block(head, pinyin,
               "see <a href=\"kestrune:search?%E9%80%A3%E9%8D%8B%E7%AB%AF\">&#36899;&#37707;&#31471;"
               "</a>[lian2 guo1 duan1], <a href=\"kestrune:search?%E5%AD%B8%E7%BF%92\">"
               "&#23416;&#32722;</a>[xue2 xi2]<br />&#8764;&#30340;&#22823;&#38272;|&#8764;&#30340;"
               "&#22823;&#38376;<br />")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(RenderCedict(c.line), c.html);
    }
    // A file converted from DSL keeps its note, grey, with the example in it, as it always
    // did; a reference inside the note is a link of its one form.
    EXPECT_EQ(Render("打 [da3] /to hit|[cs]打人[ce] to hit a person/"),
              Block("&#25171;", "&#100;&#97;&#51;",
                    "to hit</font></p><p style=\"margin:8;\"><font color=\"#777777\"><font "
                    "color=\"#449944\"><i>&#25171;&#20154;</i></font> to hit a person"));
    EXPECT_EQ(Render("打 [da3] /to hit|[cs]打人[ce] 見 打[da3]/"),
              Block("&#25171;", "&#100;&#97;&#51;",
                    "to hit</font></p><p style=\"margin:8;\"><font color=\"#777777\"><font "
                    "color=\"#449944\"><i>&#25171;&#20154;</i></font> &#35211; <a "
                    "href=\"kestrune:search?%E6%89%93\">&#25171;</a>[da3]"));
}

TEST(RenderEntry, PinyinInEveryLook) {
    struct Case {
        const char* choice;
        std::string cell;
        std::string reference;
    };
    const Case cases[] = {
        {"stored", "&#100;&#105;&#97;&#110;&#52;&#32;&#110;&#97;&#111;&#51;", "tai2"},
        {"marks", "&#100;&#105;&#224;&#110;&#32;&#110;&#462;&#111;", "t&#225;i"},
        {"colored",
         "<font color=\"#8e24aa\">&#100;&#105;&#224;&#110;</font>&#32;<font "
         "color=\"#1f4fd8\">&#110;&#462;&#111;</font>",
         "<font color=\"#16801a\">t&#225;i</font>"},
        {"zhuyin", "&#12553;&#12583;&#12578;&#715;&#32;&#12555;&#12576;&#711;",
         "&#12554;&#12574;&#714;"},
        {"Marks", "&#100;&#105;&#97;&#110;&#52;&#32;&#110;&#97;&#111;&#51;", "tai2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        PageFonts fonts;
        fonts.Pinyin = PagePinyinOf(c.choice, kDefaultToneColors);
        EXPECT_EQ(RenderCedict("電腦 电脑 [dian4 nao3] /CL:臺|台[tai2]/", fonts),
                  Block(CharRefs(W("電腦 [电脑]")), c.cell,
                        "CL:<a href=\"kestrune:search?%E8%87%BA\">&#33274;</a>[" + c.reference +
                            "]"));
    }
    // Colours of the setting; a field that is no colour keeps its tone's default.
    PageFonts fonts;
    fonts.Pinyin = PagePinyinOf("colored", "#000001, red ,#00000A,#00000b");
    EXPECT_EQ(RenderCedict("媽媽 妈妈 [ma1 ma5] //", fonts),
              Block(CharRefs(W("媽媽 [妈妈]")),
                    "<font color=\"#000001\">&#109;&#257;</font>&#32;<font "
                    "color=\"#6b6b6b\">&#109;&#97;</font>",
                    ""));
}

TEST(SearchLink, HrefAndWordBackAndBadLinks) {
    EXPECT_EQ(SearchLinkHref(W("臺")), "kestrune:search?%E8%87%BA");
    EXPECT_EQ(SearchLinkHref(W("卡拉OK a/b")), "kestrune:search?%E5%8D%A1%E6%8B%89OK%20a%2Fb");
    EXPECT_EQ(SearchLinkHref(W("𠀀")), "kestrune:search?%F0%A0%80%80");
    struct Case {
        const char* href;
        std::optional<std::u16string> word;
    };
    const Case cases[] = {
        {"kestrune:search?%E8%87%BA", W("臺")},
        {"KESTRUNE:Search?%e8%87%ba", W("臺")},
        {"kestrune:search?%E5%8D%A1%E6%8B%89OK%20a%2Fb", W("卡拉OK a/b")},
        {"kestrune:search?%F0%A0%80%80", W("𠀀")},
        {"kestrune:search?", std::nullopt},
        {"kestrune:search", std::nullopt},
        {"kestrune:search?%E8%87", std::nullopt},  // cut UTF-8
        {"kestrune:search?%ZZ", std::nullopt},
        {"kestrune:search?%4", std::nullopt},
        {"kestrune:search?%FF", std::nullopt},
        {"kestrune:other?x", std::nullopt},
        {"https://example.invalid/?x", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.href);
        EXPECT_EQ(SearchWordOfLink(c.href), c.word);
    }
}

TEST(RenderEntry, MarkupAndAngleBrackets) {
    EXPECT_EQ(Render("a [p] /x[BR]y/"), Block("&#97;", "&#112;", "x<br />y"));
    EXPECT_EQ(Render("a [p] /x<br>y/"), Block("&#97;", "&#112;", "x<br />y"));
    EXPECT_EQ(Render("a [p] /<b>bold/"), Block("&#97;", "&#112;", "[b]bold"));
    // "/" inside a closing tag is a sense separator like any other.
    EXPECT_EQ(Render("a [p] /<b>b</b>/"), Block("&#97;", "&#112;", "[b]b[<br />b]"));
    EXPECT_EQ(Render("a [p] /[bs]b[Be] [cs]c[CE]/"),
              Block("&#97;", "&#112;", "<b>b</b> <font color=\"#449944\"><i>c</i></font>"));
    // No tag of the data's own can open.
    EXPECT_EQ(Render("a [p] /<script>x/"), Block("&#97;", "&#112;", "[script]x"));
    // ASCII goes in as it is: an entity written in the data shows as its character.
    EXPECT_EQ(Render("a [p] /R&amp;D \"q\"/"), Block("&#97;", "&#112;", "R&amp;D \"q\""));
    // Headword and pinyin are references only, so tokens there stay text.
    EXPECT_EQ(Render("a [[br]] /x/"), Block("&#97;", CharRefs(u"[br"), "] <br />x"));
}

// Long fields cross the renderer's internal buffer many times; every unit still comes out once,
// in order, and a line without pinyin or translation keeps its word.
TEST(RenderEntry, LongFieldsAndMissingParts) {
    std::u16string head, pinyin, sense;
    std::string headRefs, pinyinRefs, senseHtml;
    for (int i = 0; i < 3000; ++i) {
        const char16_t h = static_cast<char16_t>(0x4E00 + i);
        head += h;
        headRefs += "&#" + std::to_string(static_cast<unsigned>(h)) + ";";
        const char16_t p = static_cast<char16_t>(u'a' + i % 26);
        pinyin += p;
        pinyinRefs += "&#" + std::to_string(static_cast<unsigned>(p)) + ";";
        if (i % 7 == 0) {
            sense += u'/';
            senseHtml += "<br />";
        } else if (i % 3 == 0) {
            sense += h;
            senseHtml += "&#" + std::to_string(static_cast<unsigned>(h)) + ";";
        } else {
            sense += p;
            senseHtml += static_cast<char>(p);
        }
    }
    const std::u16string line = head + u" [" + pinyin + u"] /x" + sense + u"x/";
    EXPECT_EQ(RenderEntryLine(line, PageFonts{}, false),
              Block(headRefs, pinyinRefs, "x" + senseHtml + "x"));
    EXPECT_EQ(Render("  word  "), Block(CharRefs(u"word"), "", ""));
    EXPECT_EQ(Render("w [no end /x/"), Block("&#119;", CharRefs(u"no end /x/"), ""));
    EXPECT_EQ(Render("w [] "), Block("&#119;", "", ""));
}

TEST(RenderEntry, ShownOnceAndReadFromTheDataFile) {
    TempDir dir;
    test::WriteBytes(dir.file("d.ced"),
                     "\xFF\xFE" + test::Ucs2File({"中 [zhong1] /middle/", "国 [guo2] /country/"}));
    ByteFile data(dir.file("d.ced"), OpenMode::Read);
    ShownOffsets shown;
    // The first line starts at 0 although it begins with a byte-order mark.
    EXPECT_EQ(RenderEntry(data, 0, shown, PageFonts{}, true),
              Block("&#20013;", CharRefs(u"zhong1"), "middle"));
    EXPECT_EQ(RenderEntry(data, 0, shown, PageFonts{}, true), "");
    int32_t second = 2 + 2 * 21;
    EXPECT_EQ(RenderEntry(data, second, shown, PageFonts{}, true),
              Block("&#22269;", CharRefs(u"guo2"), "country"));
    EXPECT_EQ(RenderEntry(data, second, shown, PageFonts{}, true), "");
    shown.reset();
    EXPECT_NE(RenderEntry(data, 0, shown, PageFonts{}, true), "");
    // An offset outside the data file is an error, not an empty entry.
    EXPECT_THROW(RenderEntry(data, static_cast<int32_t>(data.size()), shown, PageFonts{}, true),
                 IoError);
    EXPECT_THROW(RenderEntry(data, -1, shown, PageFonts{}, true), IoError);
}

TEST(RenderEntry, OverlongAndOddSizedDataFiles) {
    TempDir dir;
    // A line longer than one read shows its first 9999 code units.
    std::string line = "a [p] /" + std::string(12000, 'x') + "/";
    test::WriteBytes(dir.file("long.ced"), test::Ucs2File({line, "b [q] /y/"}));
    ByteFile data(dir.file("long.ced"), OpenMode::Read);
    ShownOffsets shown;
    EXPECT_EQ(RenderEntry(data, 0, shown, PageFonts{}, true),
              Block("&#97;", "&#112;", std::string(9999 - 7, 'x')));
    // A last line cut in the middle of a code unit is a read error, not a partial entry.
    test::WriteBytes(dir.file("odd.ced"), test::Utf16Bytes("a [p] /x/") + "y");
    ByteFile odd(dir.file("odd.ced"), OpenMode::Read);
    shown.reset();
    EXPECT_THROW(RenderEntry(odd, 0, shown, PageFonts{}, true), IoError);
    // Lone surrogates are written as their own references.
    test::WriteBytes(dir.file("sur.ced"), std::string("\x00\xD8 \x00[\x00]\x00", 8));
    ByteFile sur(dir.file("sur.ced"), OpenMode::Read);
    shown.reset();
    EXPECT_EQ(RenderEntry(sur, 0, shown, PageFonts{}, true), Block("&#55296;", "", ""));
}

TEST(ShownOffsets, HundredSlotsThenUnrecorded) {
    ShownOffsets shown;
    for (int32_t i = 0; i < ShownOffsets::kSlots; ++i)
        EXPECT_TRUE(shown.markShown(i * 10));
    EXPECT_FALSE(shown.markShown(990));
    EXPECT_FALSE(shown.markShown(0));
    // The 101st distinct offset is shown every time, because it cannot be recorded.
    EXPECT_TRUE(shown.markShown(5));
    EXPECT_TRUE(shown.markShown(5));
    EXPECT_FALSE(shown.contains(5));
    shown.reset();
    for (int32_t v : shown.slots())
        EXPECT_EQ(v, -1);
    // A free slot (-1) is never taken for a shown entry.
    EXPECT_FALSE(shown.contains(-1));
    EXPECT_TRUE(shown.markShown(0));
    EXPECT_TRUE(shown.contains(0));
}

// The fixed texts as the search writes them on the page: each dictionary's part ends with the
// spacer, and a text blocked by non-Chinese characters gives the notice alone. (The hint is
// the main window's, checked there.)
TEST(ResultPageTexts, FixedTexts) {
    TempDir dir;
    test::MakeDict(dir, "d", "Test", {"中 [zhong1] /middle/"});
    Registry reg;
    DiscoverDictionaries(reg, dir.path(), RegistryCallbacks{});
    ASSERT_EQ(reg.Dicts.size(), 1u);
    QueryHistory history;
    SearchOptions options;
    SearchResult r = RunSearch(reg, history, u"中", 0, false, options);
    ASSERT_TRUE(r.ok()) << r.Error;
    const std::string heading =
        "<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>Test</i></p>";
    const std::string spacer = "<table height=\"20\"><tr><td></td></tr></table>";
    ASSERT_GT(r.Page.size(), heading.size() + spacer.size());
    EXPECT_EQ(r.Page.substr(0, heading.size()), heading);
    EXPECT_EQ(r.Page.substr(r.Page.size() - spacer.size()), spacer);
    options.TranslateAll = true;
    r = RunSearch(reg, history, u"中a", 0, false, options);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(r.Page,
              "<p><font color=\"#777777\"><i>NOTICE: </font><font color=\"#000000\">'Translate "
              "text (instead of word)'</font><font color=\"#777777\"> option was blocked by "
              "non-chinese characters in input.</i></font></p>");
}

TEST(ResultPageTexts, HeadingCarriesTheDescriptionAsEscapedUtf8) {
    EXPECT_EQ(DictHeadingHtml(W("CEDICT 中文")),
              "<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>CEDICT "
              "\xE4\xB8\xAD\xE6\x96\x87</i></p>");
    EXPECT_EQ(DictHeadingHtml(u"A<b>&B"),
              "<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>A&lt;b&gt;&amp;B</i></p>");
    // A name that would run a script shows as text.
    EXPECT_EQ(DictHeadingHtml(u"<img src=x onerror=\"alert('x')\">"),
              "<p style=\"margin:2; border-bottom: #777777 1px solid;\"><i>&lt;img src=x "
              "onerror=&quot;alert('x')&quot;&gt;</i></p>");
    EXPECT_EQ(DescriptionHtml(u"&amp; \"q\""), "&amp;amp; &quot;q&quot;");
}

}  // namespace
}  // namespace kes

namespace kes {
namespace {

TEST(ReplaceMarkup, SameAsReplacingEachTokenInTurn) {
    EXPECT_EQ(ReplaceMarkup("a[BR]b[bS][Be][cs][CE][bx][br"),
              "a<br />b<b></b><font color=\"#449944\"><i></i></font>[bx][br");
    const std::string alphabet = "[]brsceBRSCEx ";
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        int len = static_cast<int>(rng() % 24);
        for (int i = 0; i < len; ++i)
            s += alphabet[rng() % alphabet.size()];
        std::string expected = ReplaceAllNoCaseA(s, "[br]", "<br />");
        expected = ReplaceAllNoCaseA(expected, "[bs]", "<b>");
        expected = ReplaceAllNoCaseA(expected, "[be]", "</b>");
        expected = ReplaceAllNoCaseA(expected, "[cs]", "<font color=\"#449944\"><i>");
        expected = ReplaceAllNoCaseA(expected, "[ce]", "</i></font>");
        ASSERT_EQ(ReplaceMarkup(s), expected) << s;
    }
}

}  // namespace
}  // namespace kes
