// Handwriting recognition: first-choice and top-ten accuracy and the time per guess, on stroke
// data of a fixed list of common characters (hand_bench.sh prepares it), through the
// recognizer the pad and `kestrune write` use.
//
//   hand_bench DATA.json CHARS.txt [--budget-ms N] [--variants N] [--poor SCORE]
//              [--penalty SCORE]
//
// DATA.json maps each character to its strokes ([[[x,y],...],...], y down, standard order).
// Every character is recognized as drawn, with one stroke reversed and with two neighbouring
// strokes swapped (the stroke chosen by the character's code point, so every run tries the
// same ones), each with the stroke-order tries (the product) and without them (one pass over
// the model: the recognizer alone, the baseline). Times are wall-clock per guess and the
// processor time of the guess (which a busy machine does not inflate).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/text.h"
#include "hand/recognizer.h"

using namespace kes;

namespace {

struct Tally {
    int n = 0, first = 0, ten = 0, passes = 0;
    std::vector<double> ms, cpu;
};

// The processor time of this thread: what a guess costs without the waits of a busy machine.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: hand_bench DATA.json CHARS.txt [--budget-ms N]\n");
        return 2;
    }
    // The product's defaults unless given.
    double budgetMs = -1;
    HandOptions product;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const double v = std::atof(argv[i + 1]);
        if (a == "--budget-ms") budgetMs = v;
        if (a == "--variants") product.maxVariants = static_cast<int>(v);
        if (a == "--poor") product.poorScore = static_cast<float>(v);
        if (a == "--penalty") product.variantPenalty = static_cast<float>(v);
    }
    std::ifstream dataFile(argv[1]);
    const nlohmann::json data = nlohmann::json::parse(dataFile);
    std::ifstream charsFile(argv[2]);
    const std::string charsText((std::istreambuf_iterator<char>(charsFile)),
                                std::istreambuf_iterator<char>());
    const std::u16string chars = Utf8ToUtf16(TrimA(charsText));

    Outcome opened;
    const auto recognizer = HandRecognizer::Open(kHandModelPath, opened);
    if (!recognizer) {
        std::fprintf(stderr, "%s\n", opened.message.c_str());
        return 2;
    }

    const char* modes[] = {"standard order", "one stroke reversed", "two strokes swapped"};
    Tally tally[3][2];  // [mode][0 = recognizer alone, 1 = with the stroke-order tries]
    int missing = 0;
    for (char16_t ch : chars) {
        const std::string key = Utf16ToUtf8(std::u16string(1, ch));
        if (!data.contains(key)) {
            ++missing;
            continue;
        }
        HandStrokes strokes;
        for (const auto& s : data[key]) {
            HandStroke& stroke = strokes.emplace_back();
            for (const auto& p : s)
                stroke.push_back({p[0].get<double>(), p[1].get<double>()});
        }
        for (int mode = 0; mode < 3; ++mode) {
            HandStrokes drawing = strokes;
            if (mode == 1) {
                HandStroke& s = drawing[ch % drawing.size()];
                std::reverse(s.begin(), s.end());
            } else if (mode == 2) {
                if (drawing.size() < 2) continue;
                const std::size_t k = ch % (drawing.size() - 1);
                std::swap(drawing[k], drawing[k + 1]);
            }
            for (int tries = 0; tries < 2; ++tries) {
                HandOptions options = product;
                if (tries == 0) options.maxVariants = 0;
                if (budgetMs >= 0)
                    options.budget = std::chrono::microseconds(static_cast<long>(budgetMs * 1000));
                const double c0 = CpuMs();
                const auto t0 = std::chrono::steady_clock::now();
                const HandResult r = recognizer->Recognize(drawing, options);
                const auto t1 = std::chrono::steady_clock::now();
                const double c1 = CpuMs();
                Tally& t = tally[mode][tries];
                ++t.n;
                t.passes += r.passes;
                t.ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
                t.cpu.push_back(c1 - c0);
                for (std::size_t i = 0; i < r.candidates.size(); ++i) {
                    if (r.candidates[i].text != key) continue;
                    if (i == 0) ++t.first;
                    ++t.ten;
                    break;
                }
            }
        }
    }
    std::printf("%zu characters (%d without stroke data); budget %s; tries when the best score "
                "is below %.2f, at most %d, penalty %.2f\n",
                chars.size(), missing,
                budgetMs >= 0 ? (std::to_string(budgetMs) + " ms").c_str() : "default (20 ms)",
                product.poorScore, product.maxVariants, product.variantPenalty);
    std::printf("%-22s %-6s %7s %7s %7s %9s %9s %9s %9s %9s\n", "drawing", "tries", "first",
                "top 10", "passes", "median ms", "p90 ms", "max ms", "cpu med", "cpu p90");
    for (int mode = 0; mode < 3; ++mode) {
        for (int tries = 0; tries < 2; ++tries) {
            const Tally& t = tally[mode][tries];
            if (t.n == 0) continue;
            std::printf("%-22s %-6s %6.1f%% %6.1f%% %7.2f %9.2f %9.2f %9.2f %9.2f %9.2f\n",
                        modes[mode], tries ? "order" : "none", 100.0 * t.first / t.n,
                        100.0 * t.ten / t.n, double(t.passes) / t.n, Percentile(t.ms, 0.5),
                        Percentile(t.ms, 0.9), Percentile(t.ms, 1.0), Percentile(t.cpu, 0.5),
                        Percentile(t.cpu, 0.9));
        }
    }
    return 0;
}
