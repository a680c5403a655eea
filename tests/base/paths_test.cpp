#include "base/paths.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

TEST(Paths, Helpers) {
    EXPECT_EQ(ChangeExtension("/a/b/dict.ced", ".idx"), "/a/b/dict.idx");
    EXPECT_EQ(ChangeExtension("/a.b/dict", ".ced"), "/a.b/dict.ced");
    EXPECT_EQ(ChangeExtension("x.tar.dsl", ".ced"), "x.tar.ced");
    EXPECT_EQ(BaseName("/a/b/c.ced"), "c.ced");
    EXPECT_EQ(DirName("/a/b/c.ced"), "/a/b");
    EXPECT_EQ(DirName("c.ced"), ".");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
}

}  // namespace
}  // namespace kes
