#include "hand/strokes.h"

#include <cmath>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace kes {
namespace {

// Follows the shape while the parser reads, so that a huge or deep input is refused without
// building it: depth 1 is the drawing, 2 a stroke, 3 a point.
class StrokesSax : public nlohmann::json_sax<nlohmann::json> {
  public:
    explicit StrokesSax(StrokesParse& out) : out_(out) {}

    bool null() override { return Fail("a point holds something that is not a number"); }
    bool boolean(bool) override { return null(); }
    bool number_integer(number_integer_t v) override { return Number(static_cast<double>(v)); }
    bool number_unsigned(number_unsigned_t v) override { return Number(static_cast<double>(v)); }
    bool number_float(number_float_t v, const string_t&) override { return Number(v); }
    bool string(string_t&) override { return null(); }
    bool binary(binary_t&) override { return null(); }
    bool start_object(std::size_t) override {
        return Fail("the strokes must be arrays ([[[x,y],...],...]), not an object");
    }
    bool key(string_t&) override { return false; }
    bool end_object() override { return false; }

    bool start_array(std::size_t) override {
        switch (depth_) {
            case 0:
                break;
            case 1:
                if (out_.strokes.size() >= kMaxHandStrokes)
                    return Fail("too many strokes (at most " + std::to_string(kMaxHandStrokes) +
                                ")");
                out_.strokes.emplace_back();
                break;
            case 2:
                if (points_ >= kMaxHandFilePoints)
                    return Fail("too many points (at most " + std::to_string(kMaxHandFilePoints) +
                                " in all)");
                ++points_;
                coords_ = 0;
                break;
            default:
                return Fail("a point must be two numbers [x,y]");
        }
        ++depth_;
        return true;
    }
    bool end_array() override {
        if (depth_ == 3) {
            if (coords_ != 2) return Fail("a point must be two numbers [x,y]");
            out_.strokes.back().push_back(point_);
        }
        --depth_;
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override {
        if (out_.error.empty())
            out_.error = "not valid JSON (at byte " + std::to_string(position) + ")";
        return false;
    }

  private:
    bool Number(double v) {
        if (depth_ == 0) return Fail("the drawing must be an array of strokes");
        if (depth_ != 3) return Fail("a point must be an array [x,y]");
        if (!std::isfinite(v)) return Fail("a coordinate is not a finite number");
        if (coords_ >= 2) return Fail("a point must be two numbers [x,y]");
        (coords_ == 0 ? point_.x : point_.y) = v;
        ++coords_;
        return true;
    }
    bool Fail(std::string why) {
        if (out_.error.empty()) out_.error = std::move(why);
        return false;
    }

    StrokesParse& out_;
    int depth_ = 0;
    int coords_ = 0;
    std::size_t points_ = 0;
    HandPoint point_;
};

}  // namespace

StrokesParse ParseStrokesJson(std::string_view text) {
    StrokesParse r;
    StrokesSax sax(r);
    bool done = false;
    try {
        done = nlohmann::json::sax_parse(text.begin(), text.end(), &sax);
    } catch (const std::exception&) {
        done = false;
    }
    if (!done || !r.error.empty()) {
        if (r.error.empty()) r.error = "not valid JSON";
        r.strokes.clear();
        return r;
    }
    r.ok = true;
    return r;
}

HandStrokes PrepareStrokes(const HandStrokes& strokes) {
    HandStrokes out;
    for (const HandStroke& s : strokes) {
        if (out.size() >= kMaxHandStrokes) break;
        if (s.empty()) continue;
        if (s.size() <= kMaxHandPointsPerStroke) {
            out.push_back(s);
            continue;
        }
        HandStroke thin;
        thin.reserve(kMaxHandPointsPerStroke);
        const std::size_t last = s.size() - 1;
        for (std::size_t i = 0; i < kMaxHandPointsPerStroke; ++i)
            thin.push_back(s[i * last / (kMaxHandPointsPerStroke - 1)]);
        out.push_back(std::move(thin));
    }
    return out;
}

}  // namespace kes
