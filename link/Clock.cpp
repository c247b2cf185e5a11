#include "link/Clock.h"

#include <chrono>
#include <thread>

namespace qx {

uint64_t SteadyClock::nowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::sleepUntilUs(uint64_t deadlineUs) {
    const uint64_t now = nowUs();
    if (deadlineUs > now) {
        std::this_thread::sleep_for(std::chrono::microseconds(deadlineUs - now));
    }
}

SteadyClock& steadyClock() {
    static SteadyClock clock;
    return clock;
}

uint64_t VirtualClock::nowUs() {
    return nowUs_.load();
}

void VirtualClock::sleepUntilUs(uint64_t deadlineUs) {
    uint64_t now = nowUs_.load();
    while (deadlineUs > now && !nowUs_.compare_exchange_weak(now, deadlineUs)) {
    }
}

void VirtualClock::advanceUs(uint64_t us) {
    nowUs_.fetch_add(us);
}

}  // namespace qx
