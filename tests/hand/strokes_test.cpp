#include "hand/strokes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hand/recognizer.h"

namespace kes {
namespace {

std::string Points(const HandStrokes& strokes) {
    std::string s;
    char buf[64];
    for (const HandStroke& stroke : strokes) {
        s += "|";
        for (const HandPoint& p : stroke) {
            std::snprintf(buf, sizeof buf, " %.1f,%.1f", p.x, p.y);
            s += buf;
        }
    }
    return s;
}

std::string Repeat(const std::string& s, int n, const std::string& sep) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += (i ? sep : "") + s;
    return out;
}

TEST(StrokesJson, ReadsWhatIsWellFormed) {
    const struct {
        const char* text;
        const char* points;
    } rows[] = {
        {"[[[1,2],[3,4]],[[5.5,-6]]]", "| 1.0,2.0 3.0,4.0| 5.5,-6.0"},
        {" \n[ [ [0 , 0] ] ]\t\n", "| 0.0,0.0"},
        {"[[[1e2,2.5E1]]]", "| 100.0,25.0"},
        {"[]", ""},
        {"[[]]", "|"},  // kept here, dropped by PrepareStrokes
    };
    for (const auto& r : rows) {
        const StrokesParse p = ParseStrokesJson(r.text);
        ASSERT_TRUE(p.ok) << r.text << ": " << p.error;
        EXPECT_EQ(Points(p.strokes), r.points) << r.text;
    }
}

TEST(StrokesJson, RefusesEveryOtherShapeWithItsReason) {
    const std::string points65 = "[" + Repeat("[[0,0]]", 65, ",") + "]";
    const std::string pointsMany = "[[" + Repeat("[1,1]", 200001, ",") + "]]";
    const struct {
        std::string text;
        const char* error;
    } rows[] = {
        {"", "not valid JSON (at byte 1)"},
        {"[[[1,2]]", "not valid JSON (at byte 9)"},
        {"[[[1,2]]] x", "not valid JSON (at byte 11)"},
        {"[[[1,2],]]]", "not valid JSON (at byte 9)"},
        {"{\"a\":1}", "the strokes must be arrays ([[[x,y],...],...]), not an object"},
        {"[[{}]]", "the strokes must be arrays ([[[x,y],...],...]), not an object"},
        {"5", "the drawing must be an array of strokes"},
        {"[1]", "a point must be an array [x,y]"},
        {"[[1,2]]", "a point must be an array [x,y]"},
        {"[[[1]]]", "a point must be two numbers [x,y]"},
        {"[[[1,2,3]]]", "a point must be two numbers [x,y]"},
        {"[[[[1,2]]]]", "a point must be two numbers [x,y]"},
        {"[[[1,\"2\"]]]", "a point holds something that is not a number"},
        {"[[[1,null]]]", "a point holds something that is not a number"},
        {"[[[true,1]]]", "a point holds something that is not a number"},
        {"[[[1e999,1]]]", "not valid JSON (at byte 8)"},
        {points65, "too many strokes (at most 64)"},
        {pointsMany, "too many points (at most 200000 in all)"},
    };
    for (const auto& r : rows) {
        const StrokesParse p = ParseStrokesJson(r.text);
        EXPECT_FALSE(p.ok) << r.text.substr(0, 40);
        EXPECT_EQ(p.error, r.error) << r.text.substr(0, 40);
        EXPECT_TRUE(p.strokes.empty());
    }
}

TEST(PrepareStrokes, DropsEmptyStrokesThinsLongOnesAndCapsTheCount) {
    HandStrokes in(70);
    in[1] = {{1, 1}};
    for (int i = 0; i < 1000; ++i)
        in[2].push_back({double(i), double(-i)});
    for (std::size_t s = 3; s < in.size(); ++s)
        in[s] = {{double(s), 0}};
    const HandStrokes out = PrepareStrokes(in);
    // Stroke 0 had no point; 69 remain, of which the first 64 are kept.
    ASSERT_EQ(out.size(), 64u);
    EXPECT_EQ(Points({out[0]}), "| 1.0,1.0");
    ASSERT_EQ(out[1].size(), 64u);
    EXPECT_EQ(out[1][0].x, 0);
    EXPECT_EQ(out[1][1].x, 15);    // 1 * 999 / 63
    EXPECT_EQ(out[1][32].x, 507);  // 32 * 999 / 63
    EXPECT_EQ(out[1][63].x, 999);
    EXPECT_EQ(out[1][63].y, -999);
    EXPECT_EQ(Points({out[63]}), "| 64.0,0.0");
}

std::string Normalized(const HandStrokes& strokes) {
    std::string s;
    for (const auto& stroke : NormalizeStrokes(strokes, 1000)) {
        s += "|";
        for (const auto& [x, y] : stroke)
            s += " " + std::to_string(x) + "," + std::to_string(y);
    }
    return s;
}

// The drawing fills the middle three fifths of the square along its longer side, centred
// along the other, whatever its unit and place.
TEST(NormalizeStrokes, ScalesByTheDrawingsOwnBox) {
    const struct {
        HandStrokes in;
        const char* out;
    } rows[] = {
        {{{{0, 0}, {10, 10}}}, "| 200,200 800,800"},
        {{{{-5000, 300}, {-3000, 300}}}, "| 200,500 800,500"},  // a flat line, centred
        {{{{7, 0}, {7, 1}}, {{6, 0.5}, {8, 0.5}}}, "| 500,350 500,650| 200,500 800,500"},
        {{{{2, 4}, {2, 8}}}, "| 500,200 500,800"},
        {{{{3, 3}}, {{3, 3}}}, "| 500,500| 500,500"},  // no extent: the middle
        {{{{-1e308, 0}, {1e308, 0}}}, "| 500,500 500,500"},  // an extent beyond doubles
        {{}, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Normalized(r.in), r.out) << r.out;
}

std::string Orders(const std::vector<HandStrokes>& variants) {
    std::string s;
    for (const HandStrokes& v : variants)
        s += "[" + Points(v) + " ]";
    return s;
}

TEST(StrokeOrderVariants, TriesTheSlipsThatBreakARule) {
    const struct {
        const char* what;
        HandStrokes in;
        const char* variants;
    } rows[] = {
        {"十 in order: nothing to try", {{{0, 5}, {10, 5}}, {{5, 0}, {5, 10}}}, ""},
        {"a horizontal drawn right to left",
         {{{10, 5}, {0, 5}}, {{5, 0}, {5, 10}}},
         "[| 0.0,5.0 10.0,5.0| 5.0,0.0 5.0,10.0 ]"},
        {"a vertical drawn upwards (the clearest, first), and a steep stroke up and right",
         {{{5, 10}, {5, 0}}, {{0, 10}, {6, 0}}},
         "[| 5.0,0.0 5.0,10.0| 0.0,10.0 6.0,0.0 ][| 5.0,10.0 5.0,0.0| 6.0,0.0 0.0,10.0 ]"},
        {"a rising stroke is not backwards", {{{0, 10}, {10, 4}}}, ""},
        {"十 with the vertical first",
         {{{5, 0}, {5, 10}}, {{0, 5}, {10, 5}}},
         "[| 0.0,5.0 10.0,5.0| 5.0,0.0 5.0,10.0 ]"},
        {"the right one of two verticals first",
         {{{8, 0}, {8, 10}}, {{2, 1}, {2, 9}}},
         "[| 2.0,1.0 2.0,9.0| 8.0,0.0 8.0,10.0 ]"},
        {"a lower stroke left of a higher one is not a slip",
         {{{8, 0}, {8, 4}}, {{2, 6}, {2, 10}}},
         ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Orders(StrokeOrderVariants(r.in, 8)), r.variants) << r.what;
    // The limit.
    const HandStrokes backwards = {{{10, 0}, {0, 0}}, {{10, 2}, {0, 2}}, {{10, 4}, {0, 4}}};
    EXPECT_EQ(StrokeOrderVariants(backwards, 2).size(), 2u);
    EXPECT_EQ(StrokeOrderVariants(backwards, 8).size(), 3u);
}

}  // namespace
}  // namespace kes
