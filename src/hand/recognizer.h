// Handwriting recognition of one Chinese character: a drawing (strokes of points) in, the
// likeliest characters out, best first. Built on the zinnia recognizer with the tegaki model
// of simplified Chinese (Debian packages libzinnia and tegaki-zinnia-simplified-chinese).
//
// The drawing is scaled by its own bounding box (aspect kept, centred), so it may be drawn in
// any unit and at any size. When the first answer is poor, the likeliest slips of stroke
// order are tried too: a stroke drawn backwards, two neighbouring strokes swapped. Each try is
// one more pass over the model, so they are limited by a count and a time budget.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "hand/strokes.h"

namespace kes {

// Where Debian installs the model, and the package that holds it.
inline const char* const kHandModelPath =
    "/usr/share/tegaki/models/zinnia/handwriting-zh_CN.model";
inline const char* const kHandModelPackage = "tegaki-zinnia-simplified-chinese";

struct HandCandidate {
    char32_t ch = 0;
    std::string text;         // the character (UTF-8)
    std::u16string traditional;  // its traditional forms, when it has any (学 -> 學)
    float score = 0;          // the model's score (higher is likelier); variants keep their best
    bool inDictionary = true;  // false when the caller's predicate said no
};

struct HandOptions {
    std::size_t count = 10;  // candidates wanted
    // Whether a character is in any enabled dictionary; those that are not go last (in their
    // order). Empty: every character counts as found.
    std::function<bool(char32_t ch)> inDictionary;
    // Slips of stroke order tried when the first answer scores below `poorScore`: at most
    // `maxVariants` more passes, and none started once `budget` has passed since the call.
    float poorScore = 0.2f;
    int maxVariants = 4;
    // Subtracted from the scores of a variant's candidates: the drawing as drawn is trusted
    // more than a guess at a slip.
    float variantPenalty = 0.3f;
    std::chrono::microseconds budget{std::chrono::milliseconds(20)};
};

struct HandResult {
    std::vector<HandCandidate> candidates;  // best first
    int passes = 0;                         // passes over the model (1 + variants tried)
};

class HandRecognizer {
  public:
    // Opens the model file (mapped, not read). On failure `message` names the file and the
    // package that installs it.
    static std::unique_ptr<HandRecognizer> Open(const std::string& modelPath, Outcome& outcome);
    ~HandRecognizer();
    HandRecognizer(const HandRecognizer&) = delete;
    HandRecognizer& operator=(const HandRecognizer&) = delete;

    // The characters the model knows.
    std::size_t Size() const;
    // Recognizes the drawing (PrepareStrokes applied first). An empty drawing gives no
    // candidates. Never throws for any drawing.
    HandResult Recognize(const HandStrokes& strokes, const HandOptions& options) const;

  private:
    struct Impl;
    explicit HandRecognizer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The drawing as the model takes it: integer points in a square of `side` units with a fifth
// of it as margin on every side (the model's characters fill about the middle three fifths), scaled by the drawing's bounding box with its aspect kept and centred; a
// drawing without extent (one dot) lands in the middle. Exposed for the tests.
std::vector<std::vector<std::pair<int, int>>> NormalizeStrokes(const HandStrokes& strokes,
                                                                 int side);

// The stroke-order slips worth trying for this drawing, likeliest first: each is the drawing
// with one stroke reversed or two neighbouring strokes swapped. A stroke is suspect of being
// backwards when it runs up or to the left, which no stroke of standard direction does (a
// rising stroke runs up and to the right). Two neighbours are suspect of being swapped when
// the later one is a horizontal crossing the vertical before it (horizontal comes first), or
// lies wholly left of it at the same height (left comes first). Swaps that break no rule are
// not tried: they too often make another character (大 with its last two strokes swapped
// reads as 干). At most `limit`.
std::vector<HandStrokes> StrokeOrderVariants(const HandStrokes& strokes, std::size_t limit);

}  // namespace kes
