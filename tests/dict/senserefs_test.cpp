#include "dict/senserefs.h"

#include <gtest/gtest.h>

#include "base/bytefile.h"
#include "base/text.h"
#include "dsl/converter.h"
#include "support/tempdir.h"
#include "tools/cedictimport.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::Utf16Bytes;
using test::WriteBytes;

TEST(SenseConvention, FirstLine) {
    struct Case {
        const char16_t* line;
        SenseConvention convention;
    };
    const Case cases[] = {
        {u"# CC-CEDICT", SenseConvention::References},
        {u"#", SenseConvention::References},
        {u" \t# my words", SenseConvention::References},
        {u"中國 中国 [Zhong1 guo2] /China/", SenseConvention::Notes},
        {u"＃ full-width", SenseConvention::Notes},
        {u"", SenseConvention::Notes},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SenseConventionOfFirstLine(c.line), c.convention) << Utf16ToUtf8(c.line);
}

// Each writer of data files as it writes them, and files made by hand.
TEST(SenseConvention, OfTheFilesTheProgramWritesAndOthers) {
    TempDir dir;
    // The DSL converter, with an example that becomes a note.
    WriteBytes(dir.file("d.dsl"),
               Utf16Bytes("#NAME \"x\"\n中文\n\t[m1]zhōng wén[/m]\n\t[m2]Chinese[/m]\n"
                          "\t[m4]学中文[/m]\n"));
    ASSERT_TRUE(ConvertDsl(dir.file("d.dsl"), dir.path()).outcome.ok);
    ASSERT_EQ(ReadBytes(dir.file("d.ced")), Utf16Bytes("中文 [zhōng wén] /Chinese|学中文/\r\n"));
    EXPECT_EQ(SenseConventionOfDataFile(dir.file("d.ced")), SenseConvention::Notes);

    // The import, of a file with CC-CEDICT's header and of one without any.
    TempDir home;
    WriteBytes(dir.file("cc.u8"), "# CC-CEDICT\n臺 台 [tai2] /platform/CL:個|个[ge4]/\n");
    WriteBytes(dir.file("bare.u8"), "電腦 电脑 [dian4 nao3] /computer/CL:臺|台[tai2]/\n");
    for (const char* name : {"cc", "bare"}) {
        ImportRequest r;
        r.sourcePath = dir.file(std::string(name) + ".u8");
        r.folder = home.path();
        ASSERT_TRUE(ImportCedict(r, {}).outcome.ok) << name;
        EXPECT_EQ(SenseConventionOfDataFile(home.file(std::string(name) + ".ced")),
                  SenseConvention::References)
            << name;
    }

    struct Case {
        std::string bytes;
        SenseConvention convention;
    };
    const Case cases[] = {
        {"\xFF\xFE" + Utf16Bytes("# header\r\n中 [zhong1] /a|b/\r\n"), SenseConvention::References},
        {Utf16Bytes("\r\n  \n\t\n# header\n"), SenseConvention::References},
        {Utf16Bytes(std::string(63, '\n') + "#\n"), SenseConvention::References},
        {Utf16Bytes(std::string(64, '\n') + "#\n"), SenseConvention::Notes},
        {Utf16Bytes("中 [zhong1] /a|b/\n# late comment\n"), SenseConvention::Notes},
        {"", SenseConvention::Notes},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir.file("f" + std::to_string(n++) + ".ced");
        WriteBytes(path, c.bytes);
        EXPECT_EQ(SenseConventionOfDataFile(path), c.convention) << path;
    }
    EXPECT_THROW(SenseConventionOfDataFile(dir.file("missing.ced")), IoError);
}

struct Ref {
    std::size_t begin, end;
    std::u16string first, second, pinyin;
    bool operator==(const Ref&) const = default;
};

void PrintTo(const Ref& r, std::ostream* os) {
    *os << "{" << r.begin << ", " << r.end << ", " << Utf16ToUtf8(r.first) << ", "
        << Utf16ToUtf8(r.second) << ", " << Utf16ToUtf8(r.pinyin) << "}";
}

std::vector<Ref> Refs(std::u16string_view sense) {
    std::vector<Ref> out;
    for (const SenseReference& r : FindSenseReferences(sense)) {
        // The views are the text at the positions.
        EXPECT_EQ(r.first.data(), sense.data() + r.begin);
        if (r.pinyin.empty())
            EXPECT_EQ(r.second.data() + r.second.size(), sense.data() + r.end);
        else
            EXPECT_EQ(r.pinyin.data() + r.pinyin.size() + 1, sense.data() + r.end);
        out.push_back({r.begin, r.end, std::u16string(r.first), std::u16string(r.second),
                       std::u16string(r.pinyin)});
    }
    return out;
}

TEST(FindSenseReferences, BothShapesWithTheirPositions) {
    struct Case {
        const char16_t* sense;
        std::vector<Ref> refs;
    };
    const Case cases[] = {
        {u"CL:臺|台[tai2]", {{3, 12, u"臺", u"台", u"tai2"}}},
        {u"see 學習|学习[xue2 xi2]", {{4, 19, u"學習", u"学习", u"xue2 xi2"}}},
        {u"variant of 著[zhuo2]", {{11, 19, u"著", u"", u"zhuo2"}}},
        {u"CL:個|个[ge4],條|条[tiao2]",
         {{3, 11, u"個", u"个", u"ge4"}, {12, 22, u"條", u"条", u"tiao2"}}},
        {u"中[zhong1]文[wen2]", {{0, 9, u"中", u"", u"zhong1"}, {9, 16, u"文", u"", u"wen2"}}},
        // Latin letters, digits and · inside a form; a space before "[" once
        {u"see 卡拉OK[ka1 la1 O K]", {{4, 21, u"卡拉OK", u"", u"ka1 la1 O K"}}},
        {u"T恤|T恤[T xu4]", {{0, 12, u"T恤", u"T恤", u"T xu4"}}},
        {u"see 卡爾·馬克思|卡尔·马克思[Ka3 er3 · Ma3 ke4 si1]",
         {{4, 40, u"卡爾·馬克思", u"卡尔·马克思", u"Ka3 er3 · Ma3 ke4 si1"}}},
        {u"see 連鍋端|连锅端 [lian2 guo1 duan1]",
         {{4, 30, u"連鍋端", u"连锅端", u"lian2 guo1 duan1"}}},
        {u"(also) 𠀀|𠀀[ha1]", {{7, 17, u"𠀀", u"𠀀", u"ha1"}}},
        // pinyin written with marks
        {u"see 中國[Zhōng guó]", {{4, 17, u"中國", u"", u"Zhōng guó"}}},
        // a "|" without a Chinese form before it: the one form after it
        {u"a|台[tai2]", {{2, 9, u"台", u"", u"tai2"}}},
        {u"|台[tai2]", {{1, 8, u"台", u"", u"tai2"}}},
        {u"[[中[zhong1]", {{2, 11, u"中", u"", u"zhong1"}}},
        // two forms without pinyin in running text
        {u"giving audience 朝覲|朝觐, administering", {{16, 21, u"朝覲", u"朝觐", u""}}},
        {u"(e.g. PM2.5, γ射線|γ射线)", {{13, 20, u"γ射線", u"γ射线", u""}}},
        {u"when followed by sth like ∼的大門|∼的大门) to open",
         {{26, 35, u"∼的大門", u"∼的大门", u""}}},
        {u"A甲|乙|丙[bing3]", {{3, 13, u"乙", u"丙", u"bing3"}}},
        // a full-width comma inside a saying only when its pinyin has one
        {u"see 丈二和尚，摸不著頭腦|丈二和尚，摸不着头脑[zhang4 er4 he2 shang5 , mo1 bu5 zhao2 tou2 nao3]",
         {{4, 74, u"丈二和尚，摸不著頭腦", u"丈二和尚，摸不着头脑",
           u"zhang4 er4 he2 shang5 , mo1 bu5 zhao2 tou2 nao3"}}},
        {u"中文，英文[ying1 wen2]", {{3, 17, u"英文", u"", u"ying1 wen2"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Refs(c.sense), c.refs) << Utf16ToUtf8(c.sense);
}

TEST(FindSenseReferences, WhatIsNoReference) {
    const char16_t* senses[] = {
        u"square brackets [ ] (math.)",
        u"Taiwan pr. [xia4 hai2]",
        u"(Taiwanese, POJ pr. [gēng])",
        u"中文[br]",
        u"中文[]",
        u"中文[zhong1",
        u"中文  [zhong1 wen2]",
        u"「中國」[Zhong1 guo2]",
        u"中文[zhong1/wen2]",
        u"中文[zhong1|wen2]",
        u"OK[ou1 kei4]",
        u"",
        u"]中[",
        u"a|b, 中|, |中, ||",
    };
    for (const char16_t* s : senses) EXPECT_TRUE(Refs(s).empty()) << Utf16ToUtf8(s);
}

}  // namespace
}  // namespace kes
