// The duplicates checker on fuzzed ".ced" files: the scan lists rows inside the file, a save
// without rows writes a copy equal to the file, and a save of every row completes.
#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "fuzz_support.h"
#include "tools/duplicates.h"

using namespace kes;

namespace {

std::string Bytes(const std::string& path) {
    ByteFile f(path, OpenMode::Read);
    std::string b(static_cast<std::size_t>(f.size()), '\0');
    f.read(b.data(), b.size());
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string path = fuzz::ScratchFile("dup.ced");
    fuzz::WriteFile(path, data + 1, size - 1);
    const bool pinyin = data[0] & 1;
    ScanCallbacks scan;
    scan.comparePinyin = [pinyin] { return pinyin; };
    ScanResult r = ScanFile(path, scan);
    for (const DuplicateRow& row : r.Rows)
        if (row.Position < 0 || row.Position >= static_cast<int64_t>(size - 1)) __builtin_trap();
    if (r.Status != ScanStatus::Completed) return 0;
    SaveResult copy = SaveDuplicates(path, {}, SaveCallbacks{});
    if (!copy.Ok || Bytes(copy.OutputPath) != Bytes(path)) __builtin_trap();
    std::vector<DuplicateRow> rows = r.Rows;
    for (std::size_t i = 0; i < rows.size(); i += 2)
        rows[i].Checked = true;
    if (!SaveDuplicates(path, rows, SaveCallbacks{}).Ok) __builtin_trap();
    return 0;
}
