#include "capture/ThreadPriority.h"

#if defined(_WIN32)
#define NOMINMAX
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace qx {

namespace {

#if !defined(_WIN32)
// One step of niceness above normal, as far as the user's limits allow.
constexpr int kRaisedNice = -1;
#endif

}  // namespace

void RaiseCapturePriority() {
#if defined(_WIN32)
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
#else
    // Without the right to raise priority this fails and the worker simply runs at
    // normal priority.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, tid, kRaisedNice);
#endif
}

}  // namespace qx
