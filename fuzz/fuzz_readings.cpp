// The pinyin readings of any query (UTF-16 code units as typed, lone surrogates and combining
// marks included): never more than kMaxPinyinReadings, each with at least one key, each key
// of lower-case letters, spaces and the ":" of "u:" only.
#include <cstdint>
#include <string>

#include "app/pinyin.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::u16string query;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        query.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::vector<PinyinReading> readings = PinyinReadings(query);
    if (readings.size() > kMaxPinyinReadings) __builtin_trap();
    for (const PinyinReading& r : readings) {
        if (r.Keys.empty()) __builtin_trap();
        for (const std::u16string& key : r.Keys) {
            if (key.empty()) __builtin_trap();
            for (char16_t c : key)
                if (!((c >= u'a' && c <= u'z') || c == u' ' || c == u':')) __builtin_trap();
        }
    }
    return 0;
}
