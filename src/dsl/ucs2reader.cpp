#include "dsl/ucs2reader.h"

#include <algorithm>
#include <cstring>

#include "base/bytefile.h"
#include "base/lines.h"

namespace kes {

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

// The number of code units from p on, at most `avail`, before the first LF, CR or U+FEFF.
// Looks at four units at a time: a lane of v ^ pattern is zero where the unit equals it.
std::size_t PlainRun(const char16_t* p, std::size_t avail) {
    constexpr uint64_t kOnes = 0x0001000100010001ULL;
    constexpr uint64_t kHigh = 0x8000800080008000ULL;
    auto hasZero = [](uint64_t x) { return ((x - kOnes) & ~x & kHigh) != 0; };
    std::size_t k = 0;
    for (; k + 4 <= avail; k += 4) {
        uint64_t v;
        std::memcpy(&v, p + k, sizeof v);
        if (hasZero(v ^ (0x000A * kOnes)) || hasZero(v ^ (0x000D * kOnes)) ||
            hasZero(v ^ (0xFEFF * kOnes)))
            break;
    }
    while (k < avail && p[k] != 0x000A && p[k] != 0x000D && p[k] != 0xFEFF)
        ++k;
    return k;
}

}  // namespace

Ucs2LineReader::Ucs2LineReader(ByteFile& f) : file_(f), remaining_(f.size() - f.position()) {
    bytes_.resize(kBlockBytes);
    units_.resize(kBlockBytes / 2);
}

bool Ucs2LineReader::refill() {
    if (remaining_ == 0) return false;
    if (remaining_ == 1) {
        // The single last byte of an odd-sized file: reading a code unit there fails.
        uint8_t unit[2];
        file_.read(unit, 2);
    }
    std::size_t n = static_cast<std::size_t>(std::min<int64_t>(remaining_, kBlockBytes)) & ~1u;
    file_.read(bytes_.data(), n);
    remaining_ -= static_cast<int64_t>(n);
    for (std::size_t i = 0; i < n / 2; ++i)
        units_[i] = static_cast<char16_t>(bytes_[2 * i] | (bytes_[2 * i + 1] << 8));
    pos_ = 0;
    len_ = n / 2;
    return true;
}

void Ucs2LineReader::next(std::u16string& line) {
    line.clear();
    std::size_t count = 0;
    const std::size_t limit = kMaxLineUnits;
    while (count < limit) {
        if (pos_ == len_ && !refill()) break;
        const char16_t* p = units_.data() + pos_;
        std::size_t avail = std::min(len_ - pos_, limit - count);
        std::size_t k = PlainRun(p, avail);
        line.append(p, k);
        pos_ += k;
        count += k;
        if (k == avail) continue;
        // LF ends the line; CR and U+FEFF are consumed and dropped.
        ++pos_;
        ++count;
        if (p[k] == 0x000A) break;
    }
}

}  // namespace kes
