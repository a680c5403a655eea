#include "base/dostime.h"

#include <ctime>

namespace kes {

namespace {

// Packs a broken-down time into a DOS date-time (seconds rounded down to even); a year
// before 1980, which the format cannot hold, gives 1980-01-01 00:00.
int32_t PackDosTime(const struct tm& t) {
    int year = t.tm_year + 1900;
    if (year < 1980) return (0 << 25) | (1 << 21) | (1 << 16);
    uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                    (static_cast<uint32_t>(t.tm_mon + 1) << 5) | static_cast<uint32_t>(t.tm_mday);
    uint32_t time = (static_cast<uint32_t>(t.tm_hour) << 11) |
                    (static_cast<uint32_t>(t.tm_min) << 5) | static_cast<uint32_t>(t.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | time);
}

// The widest UTC offsets a zone can have, and their step.
constexpr int kMaxZoneOffset = 14 * 3600;
constexpr int kZoneOffsetStep = 15 * 60;

}  // namespace

int32_t UnixToDosTime(int64_t unixTime) {
    auto t = static_cast<time_t>(unixTime);
    struct tm lt;
    if (::localtime_r(&t, &lt) == nullptr) return 0;
    return PackDosTime(lt);
}

int32_t UnixToDosTimeAt(int64_t unixTime, int offsetSeconds) {
    auto t = static_cast<time_t>(unixTime + offsetSeconds);
    struct tm ut;
    if (::gmtime_r(&t, &ut) == nullptr) return 0;
    return PackDosTime(ut);
}

bool DosTimeMatches(int32_t dosTime, int64_t unixTime) {
    if (UnixToDosTime(unixTime) == dosTime) return true;
    for (int offset = -kMaxZoneOffset; offset <= kMaxZoneOffset; offset += kZoneOffsetStep)
        if (UnixToDosTimeAt(unixTime, offset) == dosTime) return true;
    return false;
}

}  // namespace kes
