#include "hand/recognizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/text.h"
#include "support/tempdir.h"

namespace kes {
namespace {

const std::string kDrawings = std::string(KESTRUNE_SOURCE_DIR) + "/tests/data/hand/";

// The model Debian installs (scripts/install-deps.sh); without it every test here fails.
const HandRecognizer& Model() {
    static std::unique_ptr<HandRecognizer> model = [] {
        Outcome outcome;
        auto m = HandRecognizer::Open(kHandModelPath, outcome);
        if (!m) throw std::runtime_error(outcome.message);
        return m;
    }();
    return *model;
}

HandStrokes Drawing(const std::string& name) {
    const StrokesParse p = ParseStrokesJson(test::ReadBytes(kDrawings + name));
    if (!p.ok) throw std::runtime_error(name + ": " + p.error);
    return p.strokes;
}

int RankOf(const HandResult& r, const std::string& ch) {
    for (std::size_t i = 0; i < r.candidates.size(); ++i)
        if (r.candidates[i].text == ch) return static_cast<int>(i) + 1;
    return 0;
}

// No time budget: the tests see the same tries on a busy machine.
HandOptions Untimed() {
    HandOptions o;
    o.budget = std::chrono::hours(1);
    return o;
}

TEST(HandRecognizer, MissingOrBrokenModelSaysWhatToInstall) {
    test::TempDir dir;
    Outcome missing;
    EXPECT_EQ(HandRecognizer::Open(dir.file("none.model"), missing), nullptr);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message, "The handwriting model is not installed: " +
                                   dir.file("none.model") +
                                   " (install the package tegaki-zinnia-simplified-chinese)");
    test::WriteBytes(dir.file("bad.model"), "not a model at all");
    Outcome broken;
    EXPECT_EQ(HandRecognizer::Open(dir.file("bad.model"), broken), nullptr);
    EXPECT_EQ(broken.message, "The handwriting model cannot be read: " + dir.file("bad.model") +
                                  " (reinstall the package tegaki-zinnia-simplified-chinese)");
}

// Drawings made by hand with a mouse's point density, in standard stroke order.
TEST(HandRecognizer, StoredDrawingsAreAmongTheFirstCandidates) {
    const struct {
        const char* file;
        const char* ch;
        int rank;  // its place, as this model gives it
    } rows[] = {
        {"xue.json", "学", 1}, {"da.json", "大", 1},  {"zhong.json", "中", 1},
        {"kou.json", "口", 1}, {"shi.json", "十", 1}, {"ren.json", "人", 4},
    };
    EXPECT_EQ(Model().Size(), 6763u);
    for (const auto& r : rows) {
        const HandResult result = Model().Recognize(Drawing(r.file), Untimed());
        EXPECT_EQ(result.candidates.size(), 10u) << r.file;
        EXPECT_EQ(RankOf(result, r.ch), r.rank) << r.file;
    }
}

TEST(HandRecognizer, OffersTheTraditionalFormBeside) {
    const HandResult r = Model().Recognize(Drawing("xue.json"), Untimed());
    ASSERT_FALSE(r.candidates.empty());
    EXPECT_EQ(r.candidates[0].text, "学");
    EXPECT_EQ(r.candidates[0].ch, U'学');
    EXPECT_EQ(r.candidates[0].traditional, u"學");
}

// Size and place do not matter: the drawing is scaled by its own box.
TEST(HandRecognizer, AnyUnitAndPlaceGiveTheSameAnswer) {
    const HandStrokes drawn = Drawing("xue.json");
    HandStrokes moved = drawn;
    for (HandStroke& s : moved)
        for (HandPoint& p : s)
            p = {p.x * 0.013 - 4000, p.y * 0.013 + 77};
    const HandResult a = Model().Recognize(drawn, Untimed());
    const HandResult b = Model().Recognize(moved, Untimed());
    ASSERT_EQ(a.candidates.size(), b.candidates.size());
    for (std::size_t i = 0; i < a.candidates.size(); ++i)
        EXPECT_EQ(a.candidates[i].text, b.candidates[i].text) << i;
}

// 大 with its last stroke drawn from the bottom right up: the stroke is tried the right way
// round and 大 moves up from sixth place.
TEST(HandRecognizer, ForgivesAStrokeDrawnBackwards) {
    const HandStrokes drawing = Drawing("da-last-backwards.json");
    HandOptions once = Untimed();
    once.maxVariants = 0;
    const HandResult plain = Model().Recognize(drawing, once);
    EXPECT_EQ(plain.passes, 1);
    EXPECT_EQ(RankOf(plain, "大"), 6);
    const HandResult tried = Model().Recognize(drawing, Untimed());
    EXPECT_EQ(tried.passes, 2);
    EXPECT_EQ(RankOf(tried, "大"), 3);
    // Without time left no try starts.
    HandOptions hurried;
    hurried.budget = std::chrono::microseconds(0);
    EXPECT_EQ(Model().Recognize(drawing, hurried).passes, 1);
}

TEST(HandRecognizer, CandidatesMissingFromTheDictionariesGoLast) {
    const HandResult all = Model().Recognize(Drawing("xue.json"), Untimed());
    ASSERT_EQ(all.candidates.size(), 10u);
    HandOptions options = Untimed();
    std::u32string asked;
    // Only the second and the fourth candidate are "missing".
    options.inDictionary = [&](char32_t ch) {
        asked += ch;
        return ch != all.candidates[1].ch && ch != all.candidates[3].ch;
    };
    const HandResult r = Model().Recognize(Drawing("xue.json"), options);
    ASSERT_EQ(r.candidates.size(), 10u);
    std::vector<std::string> expected, got;
    for (int i : {0, 2, 4, 5, 6, 7, 8, 9})
        expected.push_back(all.candidates[i].text);
    for (const HandCandidate& c : r.candidates) {
        got.push_back(c.text);
        EXPECT_TRUE(c.inDictionary) << c.text;
    }
    // The ten known ones, filled from further down the model's answer (12 asked).
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 8), expected);
    EXPECT_EQ(std::count(got.begin(), got.end(), all.candidates[1].text), 0);
    EXPECT_EQ(std::count(got.begin(), got.end(), all.candidates[3].text), 0);
    EXPECT_EQ(asked.size(), 12u);

    // When too few are known, the unknown ones fill the list, after them and in their order.
    options.inDictionary = [&](char32_t ch) { return ch == all.candidates[2].ch; };
    const HandResult few = Model().Recognize(Drawing("xue.json"), options);
    ASSERT_EQ(few.candidates.size(), 10u);
    EXPECT_EQ(few.candidates[0].text, all.candidates[2].text);
    EXPECT_TRUE(few.candidates[0].inDictionary);
    EXPECT_EQ(few.candidates[1].text, all.candidates[0].text);
    EXPECT_FALSE(few.candidates[1].inDictionary);
    EXPECT_EQ(few.candidates[2].text, all.candidates[1].text);
    EXPECT_EQ(few.candidates[3].text, all.candidates[3].text);
}

TEST(HandRecognizer, EmptyAndExtremeDrawingsNeverFail) {
    EXPECT_TRUE(Model().Recognize({}, Untimed()).candidates.empty());
    EXPECT_EQ(Model().Recognize({{}, {}}, Untimed()).passes, 0);
    // One dot; more strokes than kept, each a scribble of more points than kept (one pass:
    // such a scribble is the slowest drawing there is); coordinates at the ends of double.
    const HandResult dot = Model().Recognize({{{5, 5}}}, Untimed());
    EXPECT_LE(dot.candidates.size(), 10u);
    HandStrokes many(kMaxHandStrokes + 10);
    for (std::size_t s = 0; s < many.size(); ++s)
        for (int i = 0; i < 5000; ++i)
            many[s].push_back({double((i * 7919 + s * 31) % 1000), double((i * 104729) % 997)});
    HandOptions once;
    once.maxVariants = 0;
    const HandResult big = Model().Recognize(many, once);
    EXPECT_EQ(big.candidates.size(), 10u);
    const HandResult huge = Model().Recognize({{{-1.7e308, 1.7e308}, {1.7e308, -1.7e308}}}, Untimed());
    EXPECT_LE(huge.candidates.size(), 10u);
}

}  // namespace
}  // namespace kes
