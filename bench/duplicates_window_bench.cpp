// The duplicates window on CC-CEDICT twice over (233,874 listed rows): "Open file" as the
// user runs it, from the scan to the last row listed, through the window's own ScanFile. As
// the baseline, in the same run, the same rows listed the way the window used to list them
// (one item after another, then the list's own sort, which compares texts in the locale
// pair by pair). The input file is prepared by bench/duplicates_window_bench.sh.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>
#include <cstdlib>
#include <string>

#include "gui/duplicateswindow.h"
#include "gui/memolines.h"
#include "tools/duplicates.h"
#include "ui/dialogs.h"

namespace {

std::string Source() {
    const char* env = std::getenv("DUPLICATES_WINDOW_BENCH_FILE");
    return env ? env : "bench/work/duplicates/twice.ced";
}

void BM_WindowScanAndList(benchmark::State& state) {
    kes::ui::ScriptedDialogs script;
    kes::TfmDuplicates w({});
    int rows = 0;
    for (auto _ : state) {
        w.ScanFile(Source());
        rows = w.gridMain->count();
    }
    state.counters["rows"] = rows;
}

void BM_OldListAndSort(benchmark::State& state) {
    const kes::ScanResult scan = kes::ScanFile(Source(), {});
    QListWidget list;
    for (auto _ : state) {
        list.clear();
        list.setUpdatesEnabled(false);
        for (const kes::DuplicateRow& row : scan.Rows) {
            auto* item = new QListWidgetItem(kes::FromU16(row.Text), &list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            item->setData(Qt::UserRole, QVariant::fromValue<qint64>(row.Position));
        }
        list.sortItems(Qt::AscendingOrder);
        list.setUpdatesEnabled(true);
    }
    state.counters["rows"] = list.count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("DuplicatesWindow/scan_and_list", BM_WindowScanAndList)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("Baseline/one_by_one_then_sortItems", BM_OldListAndSort)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
