// "Add to my words" on a word list of 100,000 entries (the first 100,000 entries of CC-CEDICT in
// userdict.txt): a new word appended, a word kept already (nothing written), and, as the
// baseline, the user dictionary window's own "Add/Change" of a new word (its table loaded
// beforehand, as the window has it). Each appending run starts from the same file. The file is
// prepared by bench/mywords_bench.sh.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "base/bytefile.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"
#include "dict/entry.h"
#include "tools/mywords.h"
#include "tools/userdict.h"

namespace {

std::string Folder() {
    const char* env = std::getenv("MYWORDS_BENCH_DIR");
    return env ? env : "bench/work/mywords";
}

std::string Source() {
    return kes::JoinPath(Folder(), "words.txt");
}
std::string Target() {
    return kes::JoinPath(Folder(), "userdict.txt");
}

void Restore() {
    kes::ByteFile in(Source(), kes::OpenMode::Read);
    kes::ReplaceFileContents(Target(), [&](kes::ByteFile& out) {
        kes::CopyBytes(in, out, 0, in.size());
    });
}

const kes::EntryFields kNew = kes::SplitEntryLine(u"測試詞 测试词 [ce4 shi4 ci2] /a word for the benchmark/");

void BM_AddNewWord(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore();
        state.ResumeTiming();
        bool added = false;
        const kes::Outcome o = kes::AddToMyWords(Target(), kNew, added);
        if (!o.ok || !added) {
            state.SkipWithError(o.message.c_str());
            return;
        }
    }
}

void BM_AddKeptWord(benchmark::State& state) {
    Restore();
    bool added = false;
    kes::AddToMyWords(Target(), kNew, added);  // kept at the end: the whole list is compared
    for (auto _ : state) {
        const kes::Outcome o = kes::AddToMyWords(Target(), kNew, added);
        if (!o.ok || added) {
            state.SkipWithError("the kept word was added again");
            return;
        }
    }
}

// The baseline: the window's Add/Change of the same new word.
void BM_WindowAddChange(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Restore();
        kes::Userdict u(Target());
        u.LoadUserdict({});
        kes::EntryForm form{u"測試詞 测试词", u"ce4 shi4 ci2", {u"a word for the benchmark"}, {}};
        state.ResumeTiming();
        const kes::Outcome o = u.AddOrChange(form, {});
        if (!o.ok) {
            state.SkipWithError(o.message.c_str());
            return;
        }
    }
}

BENCHMARK(BM_AddNewWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddKeptWord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowAddChange)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
