#include "charinfo/ucs2view.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

const std::string kOpen =
    "<p style=\"font-size:10pt; margin:2; border-bottom: #777777 1px solid;\">"
    "<font color=\"#777777\"><i>UCS-2: ";
const std::string kClose = "</i></font></p>";

TEST(Ucs2View, ListsEveryCodeUnitAsFourHexDigits) {
    EXPECT_EQ(Ucs2ViewHtml(u"中文", true), kOpen + "4E2D 6587 " + kClose);
    EXPECT_EQ(Ucs2ViewHtml(u"abc", true), kOpen + "0061 0062 0063 " + kClose);
    EXPECT_EQ(Ucs2ViewHtml(u"a b", true), kOpen + "0061 0020 0062 " + kClose);
    EXPECT_EQ(Ucs2ViewHtml(u"\U00020000", true), kOpen + "D840 DC00 " + kClose);
    EXPECT_EQ(Ucs2ViewHtml(std::u16string(u"\0\uFFFF\u00E9", 3), true),
              kOpen + "0000 FFFF 00E9 " + kClose);
}

TEST(Ucs2View, NothingWhenOff) {
    EXPECT_EQ(Ucs2ViewHtml(u"中文", false), "");
    EXPECT_EQ(Ucs2ViewHtml(u"", false), "");
    EXPECT_EQ(Ucs2ViewHtml(u"", true), kOpen + kClose);
}

}  // namespace
}  // namespace kes
