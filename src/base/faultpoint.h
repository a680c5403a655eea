// A seam for tests in the file layer: every system call through which the program writes or
// reads its files (open, read, write, sync, rename, close) asks FaultPoint first. Nothing arms
// it but a test's own call to ArmFaults (no environment variable, option or file does), and an
// unarmed point costs one relaxed atomic load.
#pragma once

#include <atomic>
#include <cstdint>

namespace kes {

enum class FileOp : unsigned {
    Open = 1u << 0,
    Read = 1u << 1,
    Write = 1u << 2,
    Sync = 1u << 3,  // fsync of a file (the flush to disk)
    Rename = 1u << 4,
    Close = 1u << 5,
};
inline constexpr unsigned kAllFileOps = 0x3F;

struct FaultPlan {
    unsigned ops = kAllFileOps;  // the operations that are counted (FileOp bits)
    int64_t nth = 1;             // the counted call (from 1) that fails
    int error = 0;               // errno it fails with (EIO, ENOSPC, ...)
    // Instead of failing, the process ends at once with _exit(crashExitCode) before the
    // call: what a kill at that moment leaves behind. Only for a child process of a test.
    bool crash = false;
    int crashExitCode = 77;
};

namespace detail {
extern std::atomic<bool> g_faultsArmed;
int FaultSlow(FileOp op);
}  // namespace detail

// Before a file system call: 0 to go on, or the errno the call is to fail with (errno is then
// already set to it).
inline int FaultPoint(FileOp op) {
    if (!detail::g_faultsArmed.load(std::memory_order_relaxed)) [[likely]]
        return 0;
    return detail::FaultSlow(op);
}

// Arms the seam for this process (any thread): counting starts at 0.
void ArmFaults(const FaultPlan& plan);
// Disarms it; returns whether the planned fault happened.
bool DisarmFaults();
// The counted calls since ArmFaults.
int64_t FaultCalls();

}  // namespace kes
