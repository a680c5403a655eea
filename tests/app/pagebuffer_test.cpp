#include "app/pagebuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "base/bytefile.h"

namespace kes {
namespace {

// Makes a page of several mebibytes as the search makes it (entry blocks appended, some
// rewritten in place, parts cut back when they stayed empty) on `page` and on one plain
// string; returns the plain string. With `sink` the cuts stay inside the last part, as the
// search's cuts do (a part is cut only when nothing was sealed in it).
std::string MakeLongPage(PageBuffer& page, bool sink) {
    std::mt19937 rng(7);
    std::string plain;
    while (plain.size() < 5u << 20) {
        const std::size_t start = page.size();
        EXPECT_EQ(start, plain.size());
        const std::string heading = "<h" + std::to_string(rng() % 1000) + ">";
        page += heading;
        plain += heading;
        const int blocks = static_cast<int>(rng() % 40);
        for (int b = 0; b < blocks; ++b) {
            const std::size_t n = 50 + rng() % 3000;
            std::string block(n, static_cast<char>('a' + rng() % 26));
            std::string& tail = page.tail();
            const std::size_t at = tail.size();
            tail += block;
            tail.replace(at, 1, "[x]");  // a writer rewriting its own block
            block.replace(0, 1, "[x]");
            plain += block;
            page.seal();
        }
        if (rng() % 5 == 0 && (!sink || blocks == 0)) {
            // The part stayed empty after all: cut back to where it started.
            page.resize(start);
            plain.resize(start);
        }
        EXPECT_EQ(page.size(), plain.size());
    }
    return plain;
}

// A long page reads back byte for byte, cut back across several pieces.
TEST(PageBuffer, LongPageWithCutsMatchesOnePlainString) {
    PageBuffer page;
    std::string plain = MakeLongPage(page, false);
    page.resize(plain.size() / 3);
    plain.resize(plain.size() / 3);
    page += "end";
    plain += "end";
    page.finish();  // no sink: nothing happens
    EXPECT_EQ(std::move(page).join(), plain);
}

// Written to a sink, the same page arrives whole and in order, in pieces near the piece
// size; only one piece is held at a time.
TEST(PageBuffer, SinkReceivesTheWholePageInPieces) {
    std::string received;
    std::vector<std::size_t> sizes;
    PageBuffer page(
        [&](std::string_view bytes) {
            EXPECT_FALSE(bytes.empty());
            received += bytes;
            sizes.push_back(bytes.size());
        },
        64 * 1024);
    std::string plain = MakeLongPage(page, true);
    page += "end";
    plain += "end";
    EXPECT_LT(page.size() - received.size(), 64u * 1024 + 4096);  // the rest waits for finish
    page.finish();
    EXPECT_EQ(received, plain);
    EXPECT_EQ(page.size(), plain.size());
    EXPECT_GT(sizes.size(), 40u);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) {
        EXPECT_GE(sizes[i], 64u * 1024);
        EXPECT_LT(sizes[i], 64u * 1024 + 4096);  // a piece is sealed after the block that fills it
    }
    page.finish();  // nothing left: the sink is not called again
    EXPECT_EQ(received, plain);
}

TEST(PageBuffer, SinkRefusesCutsIntoWrittenBytesAndPassesItsFailureOn) {
    std::string received;
    PageBuffer page([&](std::string_view bytes) { received += bytes; }, 8);
    page += "0123456789";
    page.seal();
    EXPECT_EQ(received, "0123456789");
    page += "ab";
    page.resize(11);  // inside the unwritten rest: fine
    EXPECT_THROW(page.resize(9), std::logic_error);
    page.finish();
    EXPECT_EQ(received, "0123456789a");

    PageBuffer failing([](std::string_view) { throw IoError("standard output", "full"); }, 4);
    failing += "abcdef";
    EXPECT_THROW(failing.seal(), IoError);
}

TEST(PageBuffer, SmallAndEmptyPages) {
    PageBuffer empty;
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(std::move(empty).join(), "");
    PageBuffer page;
    page += "abc";
    page.seal();
    page += "def";
    page.resize(2);
    page += "Z";
    EXPECT_EQ(std::move(page).join(), "abZ");
    int calls = 0;
    PageBuffer nothing([&](std::string_view) { ++calls; });
    nothing.finish();
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace kes
