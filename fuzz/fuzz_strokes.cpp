// The stroke JSON of `kestrune write`, as anyone may write it: whatever bytes are read, the
// reader answers within its limits, a drawing it accepts reads back the same when written out
// again, and what reaches the model lies in the model's square.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "hand/recognizer.h"
#include "hand/strokes.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const StrokesParse p = ParseStrokesJson(text);
    if (!p.ok) {
        if (p.error.empty() || !p.strokes.empty()) __builtin_trap();
        return 0;
    }
    if (p.strokes.size() > kMaxHandStrokes) __builtin_trap();
    std::size_t points = 0;
    std::string again = "[";
    char buf[64];
    for (std::size_t s = 0; s < p.strokes.size(); ++s) {
        again += s ? ",[" : "[";
        for (std::size_t i = 0; i < p.strokes[s].size(); ++i) {
            const HandPoint& pt = p.strokes[s][i];
            if (!std::isfinite(pt.x) || !std::isfinite(pt.y)) __builtin_trap();
            std::snprintf(buf, sizeof buf, "%s[%.17g,%.17g]", i ? "," : "", pt.x, pt.y);
            again += buf;
            ++points;
        }
        again += "]";
    }
    again += "]";
    if (points > kMaxHandFilePoints) __builtin_trap();
    const StrokesParse back = ParseStrokesJson(again);
    if (!back.ok || back.strokes.size() != p.strokes.size()) __builtin_trap();
    for (std::size_t s = 0; s < p.strokes.size(); ++s) {
        if (back.strokes[s].size() != p.strokes[s].size()) __builtin_trap();
        for (std::size_t i = 0; i < p.strokes[s].size(); ++i)
            if (back.strokes[s][i].x != p.strokes[s][i].x ||
                back.strokes[s][i].y != p.strokes[s][i].y)
                __builtin_trap();
    }
    const HandStrokes prepared = PrepareStrokes(p.strokes);
    for (const HandStroke& s : prepared)
        if (s.empty() || s.size() > kMaxHandPointsPerStroke) __builtin_trap();
    for (const auto& stroke : NormalizeStrokes(prepared, 1000))
        for (const auto& [x, y] : stroke)
            if (x < 0 || x > 1000 || y < 0 || y > 1000) __builtin_trap();
    StrokeOrderVariants(prepared, 8);
    return 0;
}
