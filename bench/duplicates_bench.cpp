// Duplicates checker timings on the full CEDICT dictionary: the scan with and without
// "Also compare pinyin", a save without changes (its output must equal the source byte for
// byte), a save that rewrites every listed line, and, as the baseline, the row-by-row scan
// (every line compared with every distinct key met so far) against the indexed scan on the
// first lines of the file. The UTF-16LE copy is prepared by bench/duplicates_bench.sh.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/lines.h"
#include "base/paths.h"
#include "base/text.h"
#include "tools/duplicates.h"

namespace {

std::string Folder() {
    const char* env = std::getenv("DUPLICATES_BENCH_DIR");
    return env ? env : "bench/work/duplicates";
}

std::string Source() {
    return kes::JoinPath(Folder(), "cedict.ced");
}
std::string Slice() {
    return kes::JoinPath(Folder(), "slice.ced");
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

kes::ScanCallbacks Rule(bool withPinyin) {
    kes::ScanCallbacks cb;
    cb.comparePinyin = [withPinyin] { return withPinyin; };
    return cb;
}

void BM_Scan(benchmark::State& state, const std::string& path, bool withPinyin) {
    std::size_t rows = 0;
    for (auto _ : state) {
        kes::ScanResult r = kes::ScanFile(path, Rule(withPinyin));
        if (!r.outcome.ok) {
            state.SkipWithError(r.outcome.message.c_str());
            return;
        }
        rows = r.Rows.size();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// The scan compared row by row, as the reference for the indexed scan.
void BM_RowByRowScan(benchmark::State& state, const std::string& path, bool withPinyin) {
    struct Seen {
        std::u16string Word, Pinyin;
        int64_t Pos;
        bool Listed;
    };
    std::size_t rows = 0;
    for (auto _ : state) {
        std::vector<Seen> seen;
        std::vector<kes::DuplicateRow> out;
        kes::ByteFile a(path, kes::OpenMode::Read), b(path, kes::OpenMode::Read);
        while (!a.eof()) {
            int64_t p = a.position();
            std::u16string line = kes::Trim(kes::ReadUcs2Line(a));
            if (line.empty() || line[0] == u'#') continue;
            kes::DuplicateKeys k = kes::DuplicateKeysOf(line);
            if (k.Word.empty()) continue;
            bool dup = false;
            for (auto& s : seen) {
                if (s.Word == k.Word && (!withPinyin || s.Pinyin == k.Pinyin)) {
                    dup = true;
                    if (!s.Listed) {
                        b.seek(s.Pos);
                        out.push_back({kes::Trim(kes::ReadUcs2Line(b)), s.Pos, false});
                        s.Listed = true;
                    }
                    out.push_back({line, p, false});
                }
            }
            if (!dup) seen.push_back({k.Word, k.Pinyin, p, false});
        }
        rows = out.size();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_SaveUnchanged(benchmark::State& state) {
    kes::SaveResult r;
    for (auto _ : state) {
        r = kes::SaveDuplicates(Source(), {}, {});
        if (!r.outcome.ok) {
            state.SkipWithError(r.outcome.message.c_str());
            return;
        }
    }
    if (ReadAll(r.OutputPath) != ReadAll(Source()))
        state.SkipWithError("the saved copy differs from the source");
    state.counters["identical"] = 1;
}

void BM_SaveAllListedRows(benchmark::State& state) {
    kes::ScanResult scan = kes::ScanFile(Source(), Rule(false));
    for (auto _ : state) {
        kes::SaveResult r = kes::SaveDuplicates(Source(), scan.Rows, {});
        if (!r.outcome.ok) {
            state.SkipWithError(r.outcome.message.c_str());
            return;
        }
    }
    state.counters["rows"] = static_cast<double>(scan.Rows.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (!kes::FileExists(Source())) {
        std::cerr << "missing " << Source() << " (run bench/duplicates_bench.sh)\n";
        return 1;
    }
    auto unit = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("Scan/full", BM_Scan, Source(), false)->Unit(unit);
    benchmark::RegisterBenchmark("Scan/full/pinyin", BM_Scan, Source(), true)->Unit(unit);
    benchmark::RegisterBenchmark("Save/full/unchanged", BM_SaveUnchanged)->Unit(unit);
    benchmark::RegisterBenchmark("Save/full/all_listed_rows", BM_SaveAllListedRows)->Unit(unit);
    if (kes::FileExists(Slice())) {
        benchmark::RegisterBenchmark("Scan/slice", BM_Scan, Slice(), false)->Unit(unit);
        benchmark::RegisterBenchmark("RowByRowScan/slice", BM_RowByRowScan, Slice(), false)
            ->Unit(unit);
    }
    if (std::getenv("DUPLICATES_BENCH_ROW_BY_ROW_FULL")) {
        // Slow (grows with the square of the distinct keys): one iteration only.
        benchmark::RegisterBenchmark("RowByRowScan/full", BM_RowByRowScan, Source(), false)
            ->Unit(unit)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
