// The on-disk index: a 272-byte header and the node records of a character trie in
// pre-order. All numbers little-endian, records packed.
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
constexpr uint32_t kMaxNodeOffsets = 65535;

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

}  // namespace kes
