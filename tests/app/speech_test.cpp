// Hearing a word: what the voice is given for stored pinyin, which text is spoken as it is; and
// the links beside the pinyin: their HTML, what a click asks for,
// and the page after "Add to my words".
#include "app/speech.h"

#include <gtest/gtest.h>

#include "app/entrylinks.h"
#include "app/pagewriter.h"
#include "base/text.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::W;

TEST(SpeechText, IsWhatTheVoiceReads) {
    const struct {
        const char* pinyin;
        const char* spoken;
    } rows[] = {
        {"zhong1 guo2", "zhong1 guo2"},
        {"Zhong1 guo2", "zhong1 guo2"},
        {"lu:4 se4", "lv4 se4"},          // ":" would be read as a number
        {"Nu:3 er2", "nv3 er2"},
        {"lu:e4", "lve4"},
        {"lu:e4 nu:e4", "lve4 nve4"},
        {"nu:e4", "nve4"},
        {"ju:2", "ju2"},                  // the table spells ü after j as u
        {"wan2 r5", "wan2 er5"},          // the erhua: a neutral er after the syllable
        {"yi1 dian3 r5", "yi1 dian3 er5"},
        {"ma1 ma5", "ma1 ma5"},           // the neutral tone keeps its 5
        {"xian1 sheng5", "xian1 sheng5"},
        {"ni3hao3", "ni3hao3"},
        {"xx5", ""},                      // CEDICT's unknown reading: nothing to say
        {"xx5 ren2", "ren2"},
        {"ka3 la1 O K", "ka3 la1 O K"},   // letters without digits go over as they are
        {"Ma3 ke4 si1 · En1 ge2 si1", "ma3 ke4 si1 en1 ge2 si1"},
        {"yi1 , er4", "yi1, er4"},
        {"m2", "m2"},
        {"hng5", "hng5"},
        {"nǐ hǎo", "nǐ hǎo"},             // tone marks are read as they stand
        {"  ", ""},
        {"", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SpeechText(W(r.pinyin)), r.spoken) << r.pinyin;
}

TEST(SpeechText, NeverFailsOnOddInput) {
    const std::u16string odd[] = {u"\xD800", u"\xDC00zhong1", u"1 2 3", u"::::4", u"<b>ma1</b>",
                                  u"ma1\u0000ma5"};
    for (const std::u16string& s : odd) {
        const std::string t = SpeechText(s);
        for (char c : t) EXPECT_NE(c, '<') << Utf16ToUtf8(s);
    }
    EXPECT_EQ(SpeechText(u"<b>ma1</b>"), "b ma1 b");
}

TEST(IsTonedPinyin, OnlyPinyinWithTonesIsSpokenAsItStands) {
    const struct {
        const char* text;
        bool toned;
    } rows[] = {
        {"zhong1 guo2", true}, {"Zhong1guo2", true}, {"zhōng guó", true}, {"lu:4", true},
        {"zhongguo", false},   {"zhong1 guo", false}, {"中国", false},     {"hello", false},
        {"", false},           {"12", false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(IsTonedPinyin(W(r.text)), r.toned) << r.text;
}

TEST(SpeechArguments, NameTheVoiceAndNeverTheCharacters) {
    EXPECT_EQ(SpeechArguments("zhong1 guo2"),
              (std::vector<std::string>{"-v", "cmn-latn-pinyin", "--", "zhong1 guo2"}));
    EXPECT_EQ(SpeechArguments("ni3", "/tmp/a b.wav"),
              (std::vector<std::string>{"-v", "cmn-latn-pinyin", "-w", "/tmp/a b.wav", "--", "ni3"}));
}

// ---- The links beside the pinyin ----

struct LinkedEntry {
    TDic dic;
    Entry model;
    FoundEntry found;
    LinkedEntry(const char* line, std::size_t position, int32_t offset)
        : model(EntryOf(W(line), false)),
          found{dic, position, u"", offset, u"", model} {}
};

constexpr const char* kSpeaker =
    "<svg width=\"14\" height=\"14\" viewBox=\"0 0 16 16\" style=\"vertical-align:middle;\">"
    "<path d=\"M1 6h3l5-4v12l-5-4H1z\" fill=\"#104010\"/>"
    "<path d=\"M11 5.5c1.2 1.4 1.2 3.6 0 5M13 3.5c2.4 2.6 2.4 6.4 0 9\" stroke=\"#104010\" "
    "stroke-width=\"1.4\" fill=\"none\"/></svg>";

TEST(EntryLinks, SpeakerAndAddLinkOfAnEntry) {
    LinkedEntry e("綠色 绿色 [lu:4 se4] /green/", 2, 1234);
    EntryLinks links;
    EXPECT_EQ(EntryLinksHtml(e.found, links),
              std::string("&nbsp;&nbsp;<a href=\"kestrune:say?text=lv4%20se4\" title=\"Hear it\" "
                          "style=\"text-decoration:none;\">") +
                  kSpeaker +
                  "</a>&nbsp;&nbsp;<a href=\"kestrune:add?dict=2&amp;at=1234\" title=\"Keep this "
                  "word in userdict.txt\" style=\"text-decoration:none; font-size:10pt; "
                  "color:#3050a0;\">Add to my words</a>");
}

TEST(EntryLinks, AKeptWordSaysSoAndMissingSpeechIsGrey) {
    LinkedEntry e("中 [zhong1] /middle/", 0, 7);
    EntryLinks links;
    links.Speech = false;
    links.IsMine = [](const EntryFields& f) { return f.Word == u"中"; };
    const std::string html = EntryLinksHtml(e.found, links);
    EXPECT_NE(html.find("title=\"Speech needs espeak-ng (Debian package espeak-ng)\""),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("fill=\"#aaaaaa\""), std::string::npos) << html;
    EXPECT_NE(html.find(kInMyWordsHtml), std::string::npos) << html;
    EXPECT_EQ(html.find("kestrune:add"), std::string::npos) << html;

    LinkedEntry unknown("怎麼 [xx5] /how/", 0, 9);  // nothing to say: no speaker
    EXPECT_EQ(EntryLinksHtml(unknown.found, EntryLinks{}).find("kestrune:say"), std::string::npos);
}

TEST(EntryLinks, TheLinksGoIntoThePinyinCellOfThePage) {
    LinkedEntry e("中 [zhong1] /middle/", 0, 40);
    EntryLinks links;
    PageWriter page(PageFonts{}, {}, &links);
    page.WriteEntry(e.found);
    const std::vector<std::u16string> none;
    const UnihanIndex unihan;
    page.Finish({u"中", none, true, false, unihan, false, false, u"中", false});
    const std::string html = std::move(page).Take();
    const std::string cell = "<i>&nbsp;&nbsp;&#122;&#104;&#111;&#110;&#103;&#49;</i>"
                             "&nbsp;&nbsp;<a href=\"kestrune:say?text=zhong1\"";
    EXPECT_NE(html.find(cell), std::string::npos) << html;
    EXPECT_NE(html.find("Add to my words</a></td></tr></table>\r\n"), std::string::npos) << html;
}

TEST(EntryLinkOf, TellsWhatAClickAsksFor) {
    EntryLink say = EntryLinkOf("kestrune:say?text=lv4%20se4");
    EXPECT_EQ(say.What, EntryLink::Kind::Say);
    EXPECT_EQ(say.Text, "lv4 se4");
    EXPECT_EQ(EntryLinkOf("kestrune:say?text=n%C7%90").Text, "nǐ");
    EntryLink add = EntryLinkOf("kestrune:add?dict=2&at=1234");
    EXPECT_EQ(add.What, EntryLink::Kind::Add);
    EXPECT_EQ(add.Dict, 2u);
    EXPECT_EQ(add.Offset, 1234);
    for (const char* bad :
         {"kestrune:add?dict=2", "kestrune:add?dict=x&at=1", "kestrune:add?dict=1&at=-5",
          "kestrune:add?dict=1&at=12x", "kestrune:say?text=", "kestrune:say", "https://x.org/?a",
          "kestrune:delete?dict=1&at=2", "kestrune:say?text=ni%G3", "kestrune:say?text=ni%3", ""})
        EXPECT_EQ(EntryLinkOf(bad).What, EntryLink::Kind::None) << bad;
}

TEST(MarkKept, ReplacesOnlyThatEntrysLink) {
    LinkedEntry a("中 [zhong1] /middle/", 0, 40);
    LinkedEntry b("中 [zhong4] /to hit/", 0, 80);
    const std::string page =
        "<p>" + EntryLinksHtml(a.found, EntryLinks{}) + "</p><p>" +
        EntryLinksHtml(b.found, EntryLinks{}) + "</p>";
    EXPECT_EQ(FirstAddLink(page), "kestrune:add?dict=0&at=40");
    const std::string kept = MarkKept(page, 0, 80);
    EXPECT_NE(kept.find("kestrune:add?dict=0&amp;at=40"), std::string::npos);
    EXPECT_EQ(kept.find("kestrune:add?dict=0&amp;at=80"), std::string::npos);
    EXPECT_NE(kept.find(kInMyWordsHtml), std::string::npos);
    EXPECT_EQ(MarkKept(page, 1, 80), page);  // no such link: unchanged
    EXPECT_EQ(FirstAddLink("<p>nothing</p>"), "");
}

}  // namespace
}  // namespace kes
