#include "dict/indexformat.h"

#include <gtest/gtest.h>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::FromHex;
using test::TempDir;
using test::WriteBytes;

std::string Header(std::u16string_view name, int32_t size, int32_t age) {
    TempDir dir;
    {
        ByteFile f(dir.file("h"), OpenMode::Create);
        WriteIndexHeader(f, IndexHeader{MakeDescription(name), size, age});
        f.close();
    }
    return test::ReadBytes(dir.file("h"));
}

// The two-entry example: root -> 中 (offset 52) -> 中国 (offset 0).
const char* kTwoEntryNodes =
    "00 00 01 00 00 00 2D 4E 1C 01 00 00"
    "01 00 34 00 00 00 01 00 00 00 FD 56 2C 01 00 00"
    "01 00 00 00 00 00 00 00 00 00";

TEST(IndexHeader, LayoutAndDescriptionLimit) {
    std::string h = Header(u"AB", 0x01020304, -2);
    ASSERT_EQ(h.size(), 272u);
    EXPECT_EQ(h.substr(0, 6), std::string("A\0B\0\0\0", 6));
    EXPECT_EQ(h.substr(256, 16), FromHex("04 03 02 01 FE FF FF FF 00 00 00 00 00 00 00 00"));

    std::u16string longName(200, u'n');
    auto d = MakeDescription(longName);
    EXPECT_EQ(DescriptionText(d), std::u16string(127, u'n'));
    EXPECT_EQ(d[127], 0);

    std::array<uint16_t, kDescriptionUnits> full;
    full.fill(u'z');
    EXPECT_EQ(DescriptionText(full).size(), 128u);
}

TEST(IndexHeader, ReadBackAndShortFile) {
    TempDir dir;
    WriteBytes(dir.file("x.idx"), Header(u"Name", 42, 7) + FromHex("00 00 00 00 00 00"));
    IndexHeader h = ReadIndexHeaderOf(dir.file("x.idx"));
    EXPECT_EQ(DescriptionText(h.Description), u"Name");
    EXPECT_EQ(h.DataSize, 42);
    EXPECT_EQ(h.DataAge, 7);
    WriteBytes(dir.file("short.idx"), std::string(271, '\0'));
    EXPECT_THROW(ReadIndexHeaderOf(dir.file("short.idx")), IoError);
}

class NodeReaderTest : public ::testing::Test {
  protected:
    ByteFile make(const std::string& nodesHex) {
        WriteBytes(dir.file("i.idx"), Header(u"", 0, 0) + FromHex(nodesHex));
        return ByteFile(dir.file("i.idx"), OpenMode::Read);
    }
    TempDir dir;
    std::vector<int32_t> offsets;
    std::vector<ChildEntry> children;
};

TEST_F(NodeReaderTest, WalksTheTwoEntryExample) {
    ByteFile f = make(kTwoEntryNodes);
    NodeReader r(f);
    r.readOffsets(272, offsets);
    EXPECT_TRUE(offsets.empty());
    r.readChildren(children);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].Ch, u'\x4E2D');
    EXPECT_EQ(children[0].Pos, 284);
    r.readOffsets(284, offsets);
    EXPECT_EQ(offsets, std::vector<int32_t>{52});
    r.readChildren(children);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].Pos, 300);
    r.readOffsets(300, offsets);
    EXPECT_EQ(offsets, std::vector<int32_t>{0});
    r.readChildren(children);
    EXPECT_TRUE(children.empty());
}

// The writer's records of the two-entry example are the documented bytes, with the record
// sizes it lays them out by; a record of more offsets than the count can carry is refused.
TEST_F(NodeReaderTest, WriterMakesTheTwoEntryExample) {
    EXPECT_EQ(NodeRecordSize(0, 1), 12);
    EXPECT_EQ(NodeRecordSize(1, 1), 16);
    EXPECT_EQ(NodeRecordSize(1, 0), 10);
    {
        ByteFile f(dir.file("w.idx"), OpenMode::Create);
        NodeWriter w(f);
        w.beginRecord(0);
        w.childCount(1);
        w.child(u'\x4E2D', 284);
        w.beginRecord(1);
        w.offset(52);
        w.childCount(1);
        w.child(u'\x56FD', 300);
        w.beginRecord(1);
        w.offset(0);
        w.childCount(0);
        w.finish();
        EXPECT_THROW(w.beginRecord(kMaxNodeOffsets + 1), IoError);
        f.close();
    }
    EXPECT_EQ(test::ReadBytes(dir.file("w.idx")), FromHex(kTwoEntryNodes));
}

TEST_F(NodeReaderTest, TruncatedRecordsAreRefused) {
    std::string all = FromHex(kTwoEntryNodes);
    for (std::size_t cut : {2u, 8u, 20u, 33u}) {
        WriteBytes(dir.file("t.idx"), Header(u"", 0, 0) + all.substr(0, all.size() - cut));
        ByteFile f(dir.file("t.idx"), OpenMode::Read);
        NodeReader r(f);
        auto walk = [&] {
            int32_t pos = 272;
            for (;;) {
                r.readOffsets(pos, offsets);
                r.readChildren(children);
                if (children.empty()) return;
                pos = children[0].Pos;
            }
        };
        EXPECT_THROW(walk(), IoError) << "cut " << cut;
    }
}

TEST_F(NodeReaderTest, CountPastTheEndIsRefused) {
    ByteFile f = make("FF FF 00 00 00 00");
    NodeReader r(f);
    EXPECT_THROW(r.readOffsets(272, offsets), IoError);
    ByteFile g = make("00 00 FF FF FF 7F");
    NodeReader s(g);
    s.readOffsets(272, offsets);
    EXPECT_THROW(s.readChildren(children), IoError);
    ByteFile h = make("00 00 FF FF FF FF");
    NodeReader t(h);
    t.readOffsets(272, offsets);
    EXPECT_THROW(t.readChildren(children), IoError);
}

TEST_F(NodeReaderTest, ChildPointingBackwardsOrIntoItsParentIsRefused) {
    // Root whose child points at the root itself.
    ByteFile f = make("00 00 01 00 00 00 41 00 10 01 00 00");
    NodeReader r(f);
    r.readOffsets(272, offsets);
    EXPECT_THROW(r.readChildren(children), IoError);
    // Child pointing into the middle of the parent's own record.
    ByteFile g = make("00 00 01 00 00 00 41 00 12 01 00 00 00 00 00 00 00 00");
    NodeReader s(g);
    s.readOffsets(272, offsets);
    EXPECT_THROW(s.readChildren(children), IoError);
}

TEST_F(NodeReaderTest, RevisitingAnEarlierRecordInOneWalkIsRefused) {
    // Root has two children, both pointing to the same record: the second visit
    // would read a record that lies before what this walk has already read.
    ByteFile f = make(
        "00 00 02 00 00 00 41 00 22 01 00 00 42 00 22 01 00 00"
        "00 00 00 00 00 00");
    NodeReader r(f);
    r.readOffsets(272, offsets);
    r.readChildren(children);
    ASSERT_EQ(children.size(), 2u);
    r.readOffsets(children[0].Pos, offsets);
    r.readChildren(children);
    EXPECT_THROW(r.readOffsets(0x122, offsets), IoError);
}

}  // namespace
}  // namespace kes
