#include "hand/recognizer.h"

#include <zinnia.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/text.h"
#include "charinfo/s2t.h"

namespace kes {

namespace {

// The model's canvas: the tegaki training data was written on a 1000-unit square.
constexpr int kCanvas = 1000;
// Results asked of each pass: more than wanted, so that characters missing from the
// dictionaries can go last without leaving the list short.
constexpr std::size_t kPassResults = 30;

char32_t FirstCodePoint(std::u16string_view s) {
    if (s.empty()) return 0;
    if (s.size() >= 2 && s[0] >= 0xD800 && s[0] < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000)
        return 0x10000 + ((char32_t(s[0]) - 0xD800) << 10) + (char32_t(s[1]) - 0xDC00);
    return s[0];
}

bool Horizontal(const HandStroke& s) {
    const double dx = s.back().x - s.front().x, dy = s.back().y - s.front().y;
    return std::fabs(dx) > 2 * std::fabs(dy);
}

bool Vertical(const HandStroke& s) {
    const double dx = s.back().x - s.front().x, dy = s.back().y - s.front().y;
    return std::fabs(dy) > 2 * std::fabs(dx);
}

// Whether a horizontal stroke h crosses a vertical stroke v (by their end points' boxes).
bool Crosses(const HandStroke& h, const HandStroke& v) {
    const double hx0 = std::min(h.front().x, h.back().x), hx1 = std::max(h.front().x, h.back().x);
    const double vy0 = std::min(v.front().y, v.back().y), vy1 = std::max(v.front().y, v.back().y);
    const double hy = (h.front().y + h.back().y) / 2, vx = (v.front().x + v.back().x) / 2;
    return hx0 < vx && vx < hx1 && vy0 < hy && hy < vy1;
}

struct Box {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
};

Box BoxOf(const HandStroke& s) {
    Box b;
    for (const HandPoint& p : s) {
        b.x0 = std::min(b.x0, p.x);
        b.x1 = std::max(b.x1, p.x);
        b.y0 = std::min(b.y0, p.y);
        b.y1 = std::max(b.y1, p.y);
    }
    return b;
}

// Whether stroke b lies wholly left of stroke a, their heights overlapping by half of the
// shorter one (left comes before right).
bool LeftOf(const HandStroke& b, const HandStroke& a) {
    const Box ba = BoxOf(a), bb = BoxOf(b);
    if (!(bb.x1 < ba.x0)) return false;
    const double overlap = std::min(ba.y1, bb.y1) - std::max(ba.y0, bb.y0);
    return overlap > 0.5 * std::min(ba.y1 - ba.y0, bb.y1 - bb.y0);
}

}  // namespace

struct HandRecognizer::Impl {
    zinnia::Recognizer* recognizer = nullptr;
    ~Impl() { delete recognizer; }
};

HandRecognizer::HandRecognizer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HandRecognizer::~HandRecognizer() = default;

std::unique_ptr<HandRecognizer> HandRecognizer::Open(const std::string& modelPath,
                                                     Outcome& outcome) {
    outcome = Outcome{};
    if (!FileExists(modelPath)) {
        outcome.message = "The handwriting model is not installed: " + modelPath +
                          " (install the package " + kHandModelPackage + ")";
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->recognizer = zinnia::Recognizer::create();
    if (impl->recognizer == nullptr || !impl->recognizer->open(modelPath.c_str())) {
        outcome.message = "The handwriting model cannot be read: " + modelPath +
                          " (reinstall the package " + kHandModelPackage + ")";
        if (impl->recognizer != nullptr) outcome.detail = impl->recognizer->what();
        return nullptr;
    }
    if (impl->recognizer->size() == 0) {
        outcome.message = "The handwriting model holds no characters: " + modelPath +
                          " (reinstall the package " + kHandModelPackage + ")";
        return nullptr;
    }
    outcome.ok = true;
    return std::unique_ptr<HandRecognizer>(new HandRecognizer(std::move(impl)));
}

std::size_t HandRecognizer::Size() const {
    return impl_->recognizer->size();
}

std::vector<std::vector<std::pair<int, int>>> NormalizeStrokes(const HandStrokes& strokes,
                                                                 int side) {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const HandStroke& s : strokes) {
        for (const HandPoint& p : s) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
    std::vector<std::vector<std::pair<int, int>>> out;
    if (!(minX <= maxX)) return out;
    const double margin = side / 5.0;
    const double inner = side - 2 * margin;
    // Differences of huge coordinates may overflow to infinity; such a drawing has no usable
    // shape and lands in the middle like a dot.
    double extent = std::max(maxX - minX, maxY - minY);
    if (!std::isfinite(extent)) extent = 0;
    const double scale = extent > 0 ? inner / extent : 0;
    const double offX = margin + (inner - (maxX - minX) * scale) / 2;
    const double offY = margin + (inner - (maxY - minY) * scale) / 2;
    auto place = [&](double v, double min, double off) {
        const double r = extent > 0 ? off + (v - min) * scale : side / 2.0;
        return static_cast<int>(std::lround(std::clamp(r, 0.0, double(side))));
    };
    for (const HandStroke& s : strokes) {
        if (s.empty()) continue;
        auto& o = out.emplace_back();
        o.reserve(s.size());
        for (const HandPoint& p : s)
            o.emplace_back(place(p.x, minX, offX), place(p.y, minY, offY));
    }
    return out;
}

std::vector<HandStrokes> StrokeOrderVariants(const HandStrokes& strokes, std::size_t limit) {
    std::vector<HandStrokes> out;
    const std::size_t n = strokes.size();
    // Strokes that run up or to the left, most clearly so first.
    std::vector<std::pair<double, std::size_t>> backwards;
    for (std::size_t i = 0; i < n; ++i) {
        const HandStroke& s = strokes[i];
        if (s.size() < 2) continue;
        const double dx = s.back().x - s.front().x, dy = s.back().y - s.front().y;
        const double len = std::hypot(dx, dy);
        if (len > 0 && dx + dy < 0) backwards.emplace_back((dx + dy) / len, i);
    }
    std::stable_sort(backwards.begin(), backwards.end());
    for (const auto& b : backwards) {
        if (out.size() >= limit) return out;
        HandStrokes v = strokes;
        std::reverse(v[b.second].begin(), v[b.second].end());
        out.push_back(std::move(v));
    }
    // Neighbours drawn against the rules: a horizontal crossing the vertical drawn just
    // before it, or a stroke wholly left of the one before it at the same height.
    std::vector<std::size_t> swaps;
    for (std::size_t i = 1; i < n; ++i) {
        const HandStroke& a = strokes[i - 1];
        const HandStroke& b = strokes[i];
        if (a.size() < 2 || b.size() < 2) continue;
        if ((Horizontal(b) && Vertical(a) && Crosses(b, a)) || LeftOf(b, a)) swaps.push_back(i);
    }
    for (std::size_t i : swaps) {
        if (out.size() >= limit) return out;
        HandStrokes v = strokes;
        std::swap(v[i - 1], v[i]);
        out.push_back(std::move(v));
    }
    return out;
}

namespace {

// The candidates from the best score of each character met: best first (ties keep the order
// met), those no enabled dictionary holds after the others, at most options.count.
std::vector<HandCandidate> RankCandidates(std::vector<std::string> order,
                                          std::map<std::string, float>& best,
                                          const HandOptions& options) {
    std::stable_sort(order.begin(), order.end(),
                     [&](const std::string& a, const std::string& b) { return best[a] > best[b]; });
    std::vector<HandCandidate> found, missing;
    for (const std::string& value : order) {
        if (found.size() >= options.count) break;
        HandCandidate c;
        c.text = value;
        const std::u16string units = Utf8ToUtf16(value);
        c.ch = FirstCodePoint(units);
        c.score = best[value];
        if (units.size() == 1) c.traditional = TraditionalForms(units[0]);
        c.inDictionary = !options.inDictionary || options.inDictionary(c.ch);
        (c.inDictionary ? found : missing).push_back(std::move(c));
    }
    for (HandCandidate& c : missing) {
        if (found.size() >= options.count) break;
        found.push_back(std::move(c));
    }
    return found;
}

}  // namespace

HandResult HandRecognizer::Recognize(const HandStrokes& input, const HandOptions& options) const {
    const auto start = std::chrono::steady_clock::now();
    HandResult result;
    const HandStrokes strokes = PrepareStrokes(input);
    if (strokes.empty() || options.count == 0) return result;

    std::unique_ptr<zinnia::Character> character(zinnia::Character::create());
    // Best score per character, and the order in which characters were first met.
    std::map<std::string, float> best;
    std::vector<std::string> order;
    float top = -INFINITY;
    auto pass = [&](const HandStrokes& drawing, float penalty) {
        character->clear();
        character->set_width(kCanvas);
        character->set_height(kCanvas);
        const auto norm = NormalizeStrokes(drawing, kCanvas);
        for (std::size_t id = 0; id < norm.size(); ++id)
            for (const auto& [x, y] : norm[id])
                character->add(id, x, y);
        std::unique_ptr<zinnia::Result> r(impl_->recognizer->classify(*character, kPassResults));
        ++result.passes;
        if (!r) return;
        for (std::size_t i = 0; i < r->size(); ++i) {
            const char* value = r->value(i);
            if (value == nullptr || *value == '\0') continue;
            const float score = r->score(i) - penalty;
            auto [it, added] = best.emplace(value, score);
            if (added)
                order.emplace_back(value);
            else
                it->second = std::max(it->second, score);
            top = std::max(top, score);
        }
    };
    pass(strokes, 0);
    if (top < options.poorScore && options.maxVariants > 0) {
        for (const HandStrokes& v :
             StrokeOrderVariants(strokes, static_cast<std::size_t>(options.maxVariants))) {
            if (std::chrono::steady_clock::now() - start >= options.budget) break;
            pass(v, options.variantPenalty);
        }
    }

    result.candidates = RankCandidates(order, best, options);
    return result;
}

}  // namespace kes
