// Search timings on the full CEDICT dictionary through the viewer's own search (RunSearch:
// word list, entries and page), with "Search both chinese forms" on. The data file is prepared by
// bench/lookup_bench.sh (UTF-16LE copy in bench/work/lookup/); its index, with translation words
// and pinyin keys, is built here by the builder when it is missing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/queryflow.h"
#include "app/registry.h"
#include "base/filesystem.h"
#include "base/paths.h"
#include "base/text.h"
#include "dict/builder.h"

namespace {

std::string Folder() {
    const char* env = std::getenv("LOOKUP_BENCH_DIR");
    return env ? env : "bench/work/lookup";
}

// The registry the viewer would build from the folder (setup.ini is not written).
const kes::Registry& Reg() {
    static const kes::Registry reg = [] {
        kes::Registry r;
        kes::DiscoverOptions o;
        o.writeDicts = false;
        kes::DiscoverDictionaries(r, Folder(), kes::RegistryCallbacks{}, o);
        return r;
    }();
    return reg;
}

// One search as the viewer runs it: `dictNumber` 0 searches every dictionary and lists
// their words (Enter in the input field); 1 asks the first dictionary only (a word chosen
// in the tree).
void Search(benchmark::State& state, const char* utf8, int dictNumber, bool translateAll) {
    const std::u16string query = kes::Utf8ToUtf16(utf8);
    kes::SearchOptions options;
    options.SearchBoth = true;
    options.TranslateAll = translateAll;
    std::size_t bytes = 0;
    std::size_t words = 0;
    for (auto _ : state) {
        kes::QueryHistory history;
        kes::SearchResult r = kes::RunSearch(Reg(), history, query, dictNumber, true, options);
        if (!r.ok()) state.SkipWithError(r.Error.c_str());
        bytes = r.Page.size();
        words = r.Dicts.empty() ? 0 : r.Dicts[0].Words.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.counters["words"] = static_cast<double>(words);
}

void BM_SearchAll(benchmark::State& state, const char* utf8) {
    Search(state, utf8, 0, false);
}
// The first search after the viewer has been quiet: it gave the dictionary pages back, so the
// search takes them from the page cache again (the release itself is not timed).
void BM_SearchAllAfterRelease(benchmark::State& state, const char* utf8) {
    const std::u16string query = kes::Utf8ToUtf16(utf8);
    kes::SearchOptions options;
    options.SearchBoth = true;
    for (auto _ : state) {
        state.PauseTiming();
        Reg().Views->releasePages();
        state.ResumeTiming();
        kes::QueryHistory history;
        kes::SearchResult r = kes::RunSearch(Reg(), history, query, 0, true, options);
        if (!r.ok()) state.SkipWithError(r.Error.c_str());
        benchmark::DoNotOptimize(r);
    }
}
void BM_SearchOne(benchmark::State& state, const char* utf8) {
    Search(state, utf8, 1, false);
}
void BM_TranslateSentence(benchmark::State& state) {
    Search(state, "我们学习中国的语言和文化是为了更好地了解世界", 0, true);
}

BENCHMARK_CAPTURE(BM_SearchAll, zhongguo, "中国")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAll, xuexi, "学习")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAll, missing, "学习中国人民")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAll, english, "learn")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAll, zhong, "中")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAll, latin_ab, "ab")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAllAfterRelease, zhongguo, "中国")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAllAfterRelease, xuexi, "学习")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAllAfterRelease, english, "learn")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchAllAfterRelease, zhong, "中")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchOne, zhongguo, "中国")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchOne, english, "learn")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TranslateSentence)->Unit(benchmark::kMicrosecond);

bool PrepareIndex() {
    const std::string data = kes::JoinPath(Folder(), "cedict.ced");
    if (!kes::FileExists(data)) {
        std::fprintf(stderr, "%s is missing: run bench/lookup_bench.sh\n", data.c_str());
        return false;
    }
    if (kes::FileExists(kes::ChangeExtension(data, ".idx"))) return true;
    kes::IndexBuildOptions o;
    o.AddDescToIndex = true;
    o.AddPinToIndex = true;
    kes::IndexBuildCallbacks cb;
    cb.askName = [](const std::u16string&) { return std::u16string(u"CC-CEDICT"); };
    kes::IndexBuildResult r = kes::BuildIndex(data, o, cb);
    if (!r.outcome.ok) {
        std::fprintf(stderr, "index build failed: %s\n", r.outcome.detail.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!PrepareIndex()) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
