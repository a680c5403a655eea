// A drawn character as the recognizer takes it: strokes of points, y pointing down, in any
// unit. The reader of the stroke JSON that `kestrune write` takes, and the limits that every
// drawing is held to before it reaches the model.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

struct HandPoint {
    double x = 0;
    double y = 0;
};
using HandStroke = std::vector<HandPoint>;
using HandStrokes = std::vector<HandStroke>;

// The most strokes a drawing may have (the most complex characters in use have about 30).
constexpr std::size_t kMaxHandStrokes = 64;
// Points kept per stroke; a longer stroke is thinned evenly to this many (its first and last
// point kept). The recognizer looks at a stroke's turning points only, so a drawn stroke
// loses nothing, while a scribble of random points cannot make a guess take seconds.
constexpr std::size_t kMaxHandPointsPerStroke = 64;
// The most points a stroke file may hold in all (before thinning).
constexpr std::size_t kMaxHandFilePoints = 200000;
// The largest stroke file read (bytes).
constexpr std::size_t kMaxHandFileBytes = 8u << 20;

struct StrokesParse {
    bool ok = false;
    HandStrokes strokes;
    // On failure, the reason in words (with the byte offset for a JSON syntax error).
    std::string error;
};

// Reads `[[[x,y],...],...]`: an array of strokes, each an array of points, each an array of
// exactly two finite numbers. Whitespace is free; nothing may follow the closing bracket.
// Refuses more than kMaxHandStrokes strokes and more than kMaxHandFilePoints points in all,
// as soon as they are met (the input is never held as a document tree). A stroke with no
// points is kept (PrepareStrokes drops it).
StrokesParse ParseStrokesJson(std::string_view text);

// The drawing as the recognizer gets it: strokes without points dropped, each stroke thinned
// to at most kMaxHandPointsPerStroke points, at most kMaxHandStrokes strokes (the first ones).
HandStrokes PrepareStrokes(const HandStrokes& strokes);

}  // namespace kes
