#include "app/pagebuffer.h"

#include <gtest/gtest.h>

#include <random>

namespace kes {
namespace {

std::string Concat(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& p : pieces) {
        EXPECT_FALSE(p.empty());
        all += p;
    }
    return all;
}

// A page of several mebibytes made as the search makes it (entry blocks appended, some
// rewritten in place, parts cut back when they stayed empty) reads back byte for byte, joined
// or in pieces, against the same edits on one plain string.
TEST(PageBuffer, LongPageWithCutsMatchesOnePlainString) {
    std::mt19937 rng(7);
    PageBuffer page;
    std::string plain;
    while (plain.size() < 5u << 20) {
        const std::size_t start = page.size();
        ASSERT_EQ(start, plain.size());
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
        if (rng() % 5 == 0) {
            // The part stayed empty after all: cut back to where it started.
            page.resize(start);
            plain.resize(start);
        }
        ASSERT_EQ(page.size(), plain.size());
    }
    // A cut back across several pieces.
    page.resize(plain.size() / 3);
    plain.resize(plain.size() / 3);
    page += "end";
    plain += "end";
    PageBuffer copy = page;
    EXPECT_EQ(std::move(page).join(), plain);
    const std::vector<std::string> pieces = std::move(copy).pieces();
    EXPECT_GT(pieces.size(), 1u);
    EXPECT_EQ(Concat(pieces), plain);
}

TEST(PageBuffer, SmallAndEmptyPages) {
    PageBuffer empty;
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_TRUE(PageBuffer(empty).pieces().empty());
    EXPECT_EQ(std::move(empty).join(), "");
    PageBuffer page;
    page += "abc";
    page.seal();
    page += "def";
    page.resize(2);
    page += "Z";
    PageBuffer copy = page;
    EXPECT_EQ(std::move(page).join(), "abZ");
    const std::vector<std::string> pieces = std::move(copy).pieces();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], "abZ");
}

}  // namespace
}  // namespace kes
