#include "tools/dictsetup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<TDic> Dicts(std::initializer_list<std::pair<const char*, bool>> l) {
    std::vector<TDic> out;
    for (auto [name, enabled] : l) {
        TDic d;
        d.FileName = std::string(name) + ".idx";
        d.Description = std::u16string(name, name + std::char_traits<char>::length(name));
        d.Enabled = enabled;
        out.push_back(d);
    }
    return out;
}

std::string Order(const std::vector<TDic>& dicts) {
    std::string s;
    for (const auto& d : dicts)
        s += d.FileName + (d.Enabled ? "+" : "-") + " ";
    return s;
}

TEST(DictSetupListTest, ShowFillsRowsWithoutSelection) {
    DictSetupList list;
    list.Selected = 1;
    list.Rows.push_back({u"stale", true, 7});
    list.FormShow(Dicts({{"a", true}, {"b", false}}));
    EXPECT_EQ(list.Rows, (std::vector<DictSetupRow>{{u"a", true, 0}, {u"b", false, 1}}));
    EXPECT_EQ(list.Selected, -1);
}

TEST(DictSetupListTest, MovesCarryTextMarkAndPositionAndTheSelectionFollows) {
    DictSetupList list;
    list.FormShow(Dicts({{"a", true}, {"b", false}, {"c", true}}));
    list.MoveDown();  // no selection: nothing
    list.MoveUp();
    EXPECT_EQ(list.Rows[0].Data, 0);
    EXPECT_EQ(list.Selected, -1);

    list.Selected = 0;
    list.MoveUp();  // top row up: nothing
    EXPECT_EQ(list.Selected, 0);
    list.MoveDown();
    list.MoveDown();
    EXPECT_EQ(list.Selected, 2);
    EXPECT_EQ(list.Rows,
              (std::vector<DictSetupRow>{{u"b", false, 1}, {u"c", true, 2}, {u"a", true, 0}}));
    list.MoveDown();  // bottom row down: nothing
    EXPECT_EQ(list.Selected, 2);
    EXPECT_EQ(list.Rows[2].Text, u"a");
    list.MoveUp();
    EXPECT_EQ(list.Selected, 1);
    EXPECT_EQ(list.Rows[1], (DictSetupRow{u"a", true, 0}));
}

TEST(DictSetupAcceptTest, AppliesOrderAndMarksAndWritesDicts) {
    TempDir dir;
    const std::string ini = dir.file("setup.ini");
    WriteBytes(ini, "[Setup]\nInpFontName=Arial\n[Dicts]\nold.idx=1\n[Form]\nX=5\n");
    std::vector<TDic> dicts = Dicts({{"a", true}, {"b", false}, {"c", true}});
    DictSetupList list;
    list.FormShow(dicts);
    list.Selected = 2;
    list.MoveUp();
    list.MoveUp();                 // c a b
    list.Rows[1].Checked = false;  // a off
    list.Rows[2].Checked = true;   // b on
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini), "");
    EXPECT_EQ(Order(dicts), "c.idx+ a.idx- b.idx+ ");
    EXPECT_EQ(ReadBytes(ini),
              "[Setup]\nInpFontName=Arial\n[Form]\nX=5\n\n[Dicts]\nc.idx=1\na.idx=0\nb.idx=1\n");
}

TEST(DictSetupAcceptTest, EmptyListErasesTheSection) {
    TempDir dir;
    const std::string ini = dir.file("setup.ini");
    WriteBytes(ini, "[Dicts]\nx.idx=1\n");
    std::vector<TDic> dicts;
    DictSetupList list;
    list.FormShow(dicts);
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini), "");
    EXPECT_EQ(ReadBytes(ini).find("x.idx"), std::string::npos);
}

TEST(DictSetupAcceptTest, MismatchedRowsChangeNothing) {
    TempDir dir;
    const std::string ini = dir.file("setup.ini");
    const std::string before = "[Dicts]\na.idx=1\nb.idx=1\n";
    WriteBytes(ini, before);
    std::vector<TDic> dicts = Dicts({{"a", true}, {"b", true}});
    const std::string refused = "ERROR: Damn! How it can be?!! (List wasn't saved)";
    DictSetupList list;
    list.FormShow(dicts);
    list.Rows.pop_back();
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini), refused);
    list.FormShow(dicts);
    list.Rows[1].Data = 0;  // one dictionary twice
    list.Rows[0].Checked = false;
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini), refused);
    list.Rows[1].Data = 2;  // no such dictionary
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini), refused);
    EXPECT_EQ(Order(dicts), "a.idx+ b.idx+ ");
    EXPECT_EQ(ReadBytes(ini), before);
}

TEST(DictSetupAcceptTest, UnwritableSetupKeepsTheNewOrderAndSaysWhy) {
    TempDir dir;
    std::vector<TDic> dicts = Dicts({{"a", true}, {"b", true}});
    DictSetupList list;
    list.FormShow(dicts);
    list.Selected = 1;
    list.MoveUp();
    const std::string ini = dir.file("no/such/folder/setup.ini");
    EXPECT_EQ(AcceptDictSetup(list, dicts, ini),
              "ERROR: The list of dictionaries could not be saved to setup.ini!\nCannot create "
              "file (" +
                  std::string(std::strerror(ENOENT)) + "): " + ini);
    EXPECT_EQ(Order(dicts), "b.idx+ a.idx+ ");
}

}  // namespace
}  // namespace kes
