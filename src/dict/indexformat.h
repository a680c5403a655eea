// The on-disk index: a 272-byte header and the node records of a character trie in
// pre-order. All numbers little-endian, records packed. The one place that knows the layout:
// the builder writes and the search reads through what is declared here.
//
// A node record: offset count n (unsigned 16-bit), n entry offsets (signed 32-bit, byte
// offsets of entry lines in the data file, ascending), child count m (signed 32-bit), m child
// entries (the edge's code unit, unsigned 16-bit, and the child's record position, signed
// 32-bit). The root's record follows the header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytefile.h"

namespace kes {

constexpr int kDescriptionUnits = 128;
constexpr int32_t kIndexHeaderSize = 272;
constexpr int32_t kRootPosition = kIndexHeaderSize;
// Most entry offsets one record can carry (its offset count is 16 bits wide).
constexpr uint32_t kMaxNodeOffsets = 65535;

// The parts of a node record, in bytes.
constexpr int64_t kOffsetCountBytes = 2;
constexpr int64_t kOffsetBytes = 4;
constexpr int64_t kChildCountBytes = 4;
constexpr int64_t kChildEntryBytes = 6;
// The length of a record with `offsets` entry offsets and `children` child entries.
constexpr int64_t NodeRecordSize(int64_t offsets, int64_t children) {
    return kOffsetCountBytes + kOffsetBytes * offsets + kChildCountBytes +
           kChildEntryBytes * children;
}

struct IndexHeader {
    std::array<uint16_t, kDescriptionUnits> Description{};
    int32_t DataSize = 0;
    int32_t DataAge = 0;
};

// The name as stored: its first 127 units, then U+0000 up to 128 units.
std::array<uint16_t, kDescriptionUnits> MakeDescription(std::u16string_view name);
// The stored units up to the first U+0000 (all 128 when there is none).
std::u16string DescriptionText(const std::array<uint16_t, kDescriptionUnits>& d);

void WriteIndexHeader(ByteFile& f, const IndexHeader& h);
// Reads the header at offset 0; throws IoError when the file is shorter than 272 bytes.
IndexHeader ReadIndexHeader(ByteFile& f);
IndexHeader ReadIndexHeaderOf(const std::string& indexPath);

struct ChildEntry {
    char16_t Ch;
    int32_t Pos;
};

// Reads node records during one walk of an index. It refuses, with IoError, a record
// that runs past the end of the file, a child position that is not greater than its
// parent's, and a record that lies before the end of a record already read in this walk:
// records of a sound index are met in increasing file order by any walk that visits
// children in stored order, so a damaged index can never make a walk loop or revisit.
class NodeReader {
  public:
    explicit NodeReader(ByteFile& f);

    // Reads the offset count and the offsets of the record at `pos`.
    void readOffsets(int32_t pos, std::vector<int32_t>& offsets);
    // Reads the child count and the child entries; must follow readOffsets.
    void readChildren(std::vector<ChildEntry>& children);
    int64_t fileSize() const { return size_; }

  private:
    [[noreturn]] void corrupt(const std::string& what) const;

    ByteFile& f_;
    int64_t size_;
    int32_t current_ = 0;     // position of the record being read
    int64_t walkedUpTo_ = 0;  // end of the last record read
    std::vector<uint8_t> buf_;
};

// Writes node records one after another from the file's position on, through a buffer of its
// own that goes to the file every MiB and at finish(). One record is beginRecord(n), n calls
// of offset(), childCount(m), m calls of child(). Records are written in pre-order, so each
// child position must have been computed before (NodeRecordSize).
class NodeWriter {
  public:
    explicit NodeWriter(ByteFile& f);
    // Throws IoError when `offsetCount` exceeds kMaxNodeOffsets.
    void beginRecord(uint32_t offsetCount);
    void offset(int32_t offset) {
        put32(static_cast<uint32_t>(offset));
        if (buf_.size() >= kFlushAt) flush();
    }
    void childCount(uint32_t count) { put32(count); }
    void child(char16_t ch, int32_t pos) {
        put16(ch);
        put32(static_cast<uint32_t>(pos));
        if (buf_.size() >= kFlushAt) flush();
    }
    // Writes what is buffered to the file (the file is not closed).
    void finish() { flush(); }

  private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    void put16(uint32_t v) {
        buf_.push_back(static_cast<uint8_t>(v));
        buf_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void put32(uint32_t v) {
        buf_.push_back(static_cast<uint8_t>(v));
        buf_.push_back(static_cast<uint8_t>(v >> 8));
        buf_.push_back(static_cast<uint8_t>(v >> 16));
        buf_.push_back(static_cast<uint8_t>(v >> 24));
    }
    void flush();

    ByteFile& f_;
    std::vector<uint8_t> buf_;
};

}  // namespace kes
