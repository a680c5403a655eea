#include "charinfo/wordfreq.h"

#include <algorithm>
#include <cstddef>

namespace kes {

namespace wordfreq_data {
struct Bucket {
    const char16_t* records;  // `count` records of the bucket's length + 1 code units
    std::size_t count;
};
}  // namespace wordfreq_data

}  // namespace kes

#include "charinfo/wordfreq_data.inc"

namespace kes {

uint32_t WordFrequency(std::u16string_view word) {
    using namespace wordfreq_data;
    const std::size_t n = word.size();
    if (n == 0 || n > kLongest || kBuckets[n].count == 0) return 0;
    const char16_t* records = kBuckets[n].records;
    const std::size_t stride = n + 1;
    std::size_t lo = 0, hi = kBuckets[n].count;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        const std::u16string_view key(records + mid * stride, n);
        const int c = key.compare(word);
        if (c == 0) {
            const uint32_t code = records[mid * stride + n];
            return code < 32768 ? code : (code - 32768) << 8;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return 0;
}

std::size_t WordFrequencyTableSize() {
    return wordfreq_data::kWords;
}

}  // namespace kes
