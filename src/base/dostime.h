// DOS date-times, the 32-bit form in which an index records its data file's last-write time:
// date in the high 16 bits (bits 9..15 year - 1980, 5..8 month, 0..4 day), time in the low 16
// bits (bits 11..15 hour, 5..10 minute, 0..4 seconds / 2), on some zone's wall clock.
#pragma once

#include <cstdint>

namespace kes {

// Converts a Unix time to a DOS date-time in local time (seconds rounded down to even).
int32_t UnixToDosTime(int64_t unixTime);
// The same on the clock `offsetSeconds` east of UTC, whatever the local zone.
int32_t UnixToDosTimeAt(int64_t unixTime, int offsetSeconds);
// True when `dosTime` is `unixTime` as a DOS date-time on the local clock or on the clock of
// any UTC offset a zone can have (whole quarter hours within +-14 h). A DOS time names no
// zone, so an index written in one zone is judged by this, not by the local clock alone.
bool DosTimeMatches(int32_t dosTime, int64_t unixTime);

}  // namespace kes
