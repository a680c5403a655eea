#include "dict/indexformat.h"

#include "base/bytefile.h"
#include "base/ioerror.h"

namespace kes {

std::array<uint16_t, kDescriptionUnits> MakeDescription(std::u16string_view name) {
    std::array<uint16_t, kDescriptionUnits> d{};
    for (std::size_t i = 0; i < name.size() && i < kDescriptionUnits - 1; ++i)
        d[i] = name[i];
    d[kDescriptionUnits - 1] = 0;
    return d;
}

std::u16string DescriptionText(const std::array<uint16_t, kDescriptionUnits>& d) {
    std::u16string s;
    for (uint16_t u : d) {
        if (u == 0) break;
        s.push_back(static_cast<char16_t>(u));
    }
    return s;
}

void WriteIndexHeader(ByteFile& f, const IndexHeader& h) {
    for (uint16_t u : h.Description)
        f.writeU16(u);
    f.writeI32(h.DataSize);
    f.writeI32(h.DataAge);
    f.writeI32(0);
    f.writeI32(0);
}

IndexHeader ReadIndexHeader(ByteFile& f) {
    if (f.size() < kIndexHeaderSize) throw IoError(f.name(), "Index file too short for its header");
    f.seek(0);
    IndexHeader h;
    for (auto& u : h.Description)
        u = f.readU16();
    h.DataSize = f.readI32();
    h.DataAge = f.readI32();
    return h;
}

IndexHeader ReadIndexHeaderOf(const std::string& indexPath) {
    ByteFile f(indexPath, OpenMode::Read);
    IndexHeader h = ReadIndexHeader(f);
    f.close();
    return h;
}

NodeReader::NodeReader(ByteFile& f) : f_(f), size_(f.size()), walkedUpTo_(kRootPosition) {}

void NodeReader::corrupt(const std::string& what) const {
    throw IoError(f_.name(),
                  "Corrupt index file (" + what + " at position " + std::to_string(current_) + ")");
}

void NodeReader::readOffsets(int32_t pos, std::vector<int32_t>& offsets) {
    current_ = pos;
    if (pos < walkedUpTo_) corrupt("record out of order");
    if (static_cast<int64_t>(pos) + NodeRecordSize(0, 0) > size_)
        corrupt("record past end of file");
    f_.seek(pos);
    uint16_t n = f_.readU16();
    int64_t end = static_cast<int64_t>(pos) + NodeRecordSize(n, 0);
    if (end > size_) corrupt("offsets past end of file");
    offsets.resize(n);
    if (n > 0) {
        buf_.resize(static_cast<std::size_t>(kOffsetBytes) * n);
        f_.read(buf_.data(), buf_.size());
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* b = &buf_[4u * i];
            offsets[i] = static_cast<int32_t>(
                static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
        }
    }
    walkedUpTo_ = end;
}

void NodeReader::readChildren(std::vector<ChildEntry>& children) {
    int32_t m = f_.readI32();
    if (m < 0) corrupt("negative child count");
    int64_t end = f_.position() + kChildEntryBytes * static_cast<int64_t>(m);
    if (end > size_) corrupt("child entries past end of file");
    children.resize(static_cast<std::size_t>(m));
    if (m > 0) {
        buf_.resize(static_cast<std::size_t>(kChildEntryBytes) * static_cast<uint32_t>(m));
        f_.read(buf_.data(), buf_.size());
        for (int32_t i = 0; i < m; ++i) {
            const uint8_t* b = &buf_[6u * static_cast<uint32_t>(i)];
            children[i].Ch = static_cast<char16_t>(b[0] | (b[1] << 8));
            children[i].Pos = static_cast<int32_t>(
                static_cast<uint32_t>(b[2]) | (static_cast<uint32_t>(b[3]) << 8) |
                (static_cast<uint32_t>(b[4]) << 16) | (static_cast<uint32_t>(b[5]) << 24));
            if (children[i].Pos <= current_) corrupt("child position not after its parent");
            if (children[i].Pos < end) corrupt("child position inside its parent's record");
        }
    }
    walkedUpTo_ = end;
}

NodeWriter::NodeWriter(ByteFile& f) : f_(f) {
    buf_.reserve(kFlushAt + 64);
}

void NodeWriter::beginRecord(uint32_t offsetCount) {
    if (offsetCount > kMaxNodeOffsets)
        throw IoError(f_.name(), "Index key with more than 65535 entries");
    put16(offsetCount);
}

void NodeWriter::flush() {
    f_.write(buf_.data(), buf_.size());
    buf_.clear();
}

}  // namespace kes
