#include "base/faultpoint.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace kes {

namespace detail {
std::atomic<bool> g_faultsArmed{false};
}  // namespace detail

namespace {

std::mutex g_mutex;
FaultPlan g_plan;
int64_t g_calls = 0;
bool g_fired = false;

}  // namespace

int detail::FaultSlow(FileOp op) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_faultsArmed.load(std::memory_order_relaxed)) return 0;
    if ((g_plan.ops & static_cast<unsigned>(op)) == 0) return 0;
    if (++g_calls != g_plan.nth) return 0;
    g_fired = true;
    if (g_plan.crash) ::_exit(g_plan.crashExitCode);
    errno = g_plan.error;
    return g_plan.error;
}

void ArmFaults(const FaultPlan& plan) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_plan = plan;
    g_calls = 0;
    g_fired = false;
    detail::g_faultsArmed.store(true, std::memory_order_relaxed);
}

bool DisarmFaults() {
    std::lock_guard<std::mutex> lock(g_mutex);
    detail::g_faultsArmed.store(false, std::memory_order_relaxed);
    return g_fired;
}

int64_t FaultCalls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_calls;
}

}  // namespace kes
