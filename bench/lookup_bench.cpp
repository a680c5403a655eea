// Lookup and word-list timings on the full CEDICT dictionary, with "Search both chinese
// forms" on. The data file is prepared by bench/lookup_bench.sh (UTF-16LE copy in
// bench/work/lookup/); its index, with translation words and pinyin keys, is built here by
// the builder when it is missing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dict/builder.h"
#include "dict/dic.h"
#include "dict/text.h"

namespace {

std::string Folder() {
    const char* env = std::getenv("LOOKUP_BENCH_DIR");
    return env ? env : "bench/work/lookup";
}

kes::TDic Dic() {
    kes::TDic d;
    d.FileName = "cedict.idx";
    d.Number = 1;
    return d;
}

kes::LookupSettings Settings() {
    kes::LookupSettings s;
    s.Folder = Folder();
    s.SearchBoth = true;
    return s;
}

void BM_LookupWord(benchmark::State& state, const char* utf8) {
    const kes::TDic dic = Dic();
    const kes::LookupSettings s = Settings();
    const std::u16string query = kes::Utf8ToUtf16(utf8);
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string html = kes::LookupWord(dic, query, s);
        bytes = html.size();
        benchmark::DoNotOptimize(html);
    }
    state.counters["html_bytes"] = static_cast<double>(bytes);
}

void BM_ListWords(benchmark::State& state, const char* utf8) {
    const kes::TDic dic = Dic();
    const kes::LookupSettings s = Settings();
    const std::u16string query = kes::Utf8ToUtf16(utf8);
    std::size_t items = 0;
    for (auto _ : state) {
        items = 0;
        kes::ListWords(dic, query, s, [&](const std::u16string& text, int32_t, int) {
            ++items;
            benchmark::DoNotOptimize(text.data());
        });
    }
    state.counters["items"] = static_cast<double>(items);
}

// The segmentation of a sentence through one session: longest known piece, then its entries.
void BM_SegmentSentence(benchmark::State& state) {
    const kes::TDic dic = Dic();
    const kes::LookupSettings s = Settings();
    const std::u16string text = kes::Utf8ToUtf16("我们学习中国的语言和文化是为了更好地了解世界");
    for (auto _ : state) {
        kes::DicSession session(dic, s);
        std::string page;
        for (std::size_t t = 0; t < text.size();) {
            int len = session.LongestEntryPrefix(std::u16string_view(text).substr(t));
            if (len == 0) {
                ++t;
                continue;
            }
            page += session.LookupWord(std::u16string_view(text).substr(t, len));
            t += len;
        }
        benchmark::DoNotOptimize(page);
    }
}

BENCHMARK_CAPTURE(BM_LookupWord, zhongguo, "中国")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LookupWord, xuexi, "学习")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LookupWord, missing, "学习中国人民")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LookupWord, english, "learn")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ListWords, zhong, "中")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListWords, latin_ab, "ab")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SegmentSentence)->Unit(benchmark::kMicrosecond);

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
    kes::IndexBuildResult r = kes::BuildIndex(data, o, kes::IndexBuildCallbacks{});
    if (r.status != kes::IndexBuildStatus::Created) {
        std::fprintf(stderr, "index build failed: %s\n", r.detail.c_str());
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
