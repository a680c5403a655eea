// The window's state handed to a viewer that starts itself afresh: exact in every field, and
// refused whole when damaged.
#include "app/viewersession.h"

#include <gtest/gtest.h>

#include <string>

namespace kes {
namespace {

ViewerSession Sample() {
    ViewerSession s;
    s.Input = u"中国 \u00a0x";
    s.Input.push_back(static_cast<char16_t>(0xD800));  // a lone surrogate stays as it is
    s.History.Record(u"学习");
    s.History.Record(u"learn");
    s.History.Back();
    s.Tree = {{1, true, {u"中国", u"中國人", std::u16string(u"\U00020000")}},
              {3, false, {}},
              {4, true, {u""}}};
    s.CurrentDict = 1;
    s.CurrentWord = 2;
    // A page body with every byte value, a NUL and broken UTF-8 included.
    for (int i = 0; i < 256; ++i)
        s.PageBody.push_back(static_cast<char>(i));
    s.PageBody += "<p>\xe4\xb8\xad</p>";
    s.ScrollX = 0.5;
    s.ScrollY = 1234.25;
    return s;
}

TEST(ViewerSession, RoundTripIsExact) {
    const ViewerSession s = Sample();
    std::string error;
    std::optional<ViewerSession> back = DecodeViewerSession(EncodeViewerSession(s), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == s);
    EXPECT_EQ(back->Input, s.Input);
    EXPECT_EQ(back->History.P, 9);
    EXPECT_EQ(back->History.H(10), u"learn");
    EXPECT_EQ(back->Tree[0].Words[2], std::u16string(u"\U00020000"));
    EXPECT_EQ(back->PageBody, s.PageBody);
    EXPECT_EQ(back->ScrollY, 1234.25);

    // An empty window, and a page of several megabytes.
    ViewerSession empty;
    back = DecodeViewerSession(EncodeViewerSession(empty), error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(*back == empty);
    ViewerSession big = s;
    big.PageBody.assign(5 << 20, 'x');
    back = DecodeViewerSession(EncodeViewerSession(big), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->PageBody.size(), std::size_t{5} << 20);
}

TEST(ViewerSession, DamagedBytesAreRefusedWhole) {
    const std::string good = EncodeViewerSession(Sample());
    std::string error;
    // Every cut short, including inside the body.
    for (std::size_t n = 0; n < good.size(); n += (n < 400 ? 1 : 37)) {
        error.clear();
        EXPECT_FALSE(DecodeViewerSession(good.substr(0, n), error)) << n;
        EXPECT_FALSE(error.empty()) << n;
    }
    // A byte too many, a foreign file, a description that is not the expected one.
    EXPECT_FALSE(DecodeViewerSession(good + "x", error));
    EXPECT_EQ(error, "the session is damaged: the page body is not of its recorded size");
    EXPECT_FALSE(DecodeViewerSession("[Setup]\nReleaseViewMinutes=1\n", error));
    EXPECT_EQ(error, "not a saved viewer session");
    auto withDescription = [](const std::string& json) {
        return "KESTRUNE-SESSION 1\n" + std::to_string(json.size()) + "\n" + json;
    };
    const std::string slots = R"([[],[],[],[],[],[],[],[],[],[]])";
    const std::string rest =
        R"(,"tree":[],"current":{"dictionary":0,"word":-1},"scroll":{"x":0,"y":0},"body":0})";
    EXPECT_TRUE(DecodeViewerSession(withDescription(R"({"input":[65],"history":{"slots":)" + slots +
                                                    R"(,"position":0})" + rest),
                                    error))
        << error;
    for (const std::string& bad :
         {R"({"input":[65536],"history":{"slots":)" + slots + R"(,"position":0})" + rest,
          R"({"input":"A","history":{"slots":)" + slots + R"(,"position":0})" + rest,
          R"({"input":[65],"history":{"slots":[[]],"position":0})" + rest,
          R"({"input":[65],"history":{"slots":)" + slots + R"(,"position":11})" + rest,
          R"({"input":[-1],"history":{"slots":)" + slots + R"(,"position":0})" + rest,
          std::string(R"({"input":[65]})"), std::string("{not json")}) {
        EXPECT_FALSE(DecodeViewerSession(withDescription(bad), error)) << bad;
        EXPECT_EQ(error.rfind("the session is damaged: ", 0), 0u) << error;
    }
    EXPECT_FALSE(DecodeViewerSession("KESTRUNE-SESSION 1\n99999999999999999999999\n{}", error));
    EXPECT_EQ(error, "the session's description is cut short");
}

}  // namespace
}  // namespace kes
