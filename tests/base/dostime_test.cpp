#include "base/dostime.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

// 1700000000 is 2023-11-14 22:13:20 UTC. An index records its data file's time as a DOS
// date-time on the clock of the zone it was built in; any zone's clock is accepted, nothing else.
TEST(DosTime, MatchesTheClockOfAnyZone) {
    const int64_t unix = 1700000000;
    struct Row {
        const char* clock;
        int32_t dos;
        bool matches;
    };
    const Row rows[] = {
        {"UTC 2023-11-14 22:13:20", 0x576eb1aa, true},
        {"-12:00 2023-11-14 10:13:20", 0x576e51aa, true},
        {"+05:45 2023-11-15 03:58:20", 0x576f1f4a, true},
        {"+14:00 2023-11-15 12:13:20", 0x576f61aa, true},
        {"+05:50 is no zone's offset", 0x576f206a, false},
        {"+14:15 is beyond every zone", 0x576f638a, false},
        {"UTC two seconds later", 0x576eb1ab, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(DosTimeMatches(r.dos, unix), r.matches) << r.clock;
    EXPECT_EQ(UnixToDosTimeAt(unix, 5 * 3600 + 45 * 60), 0x576f1f4a);
    EXPECT_EQ(UnixToDosTimeAt(unix, -12 * 3600), 0x576e51aa);
}

}  // namespace
}  // namespace kes
