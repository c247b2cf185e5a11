#pragma once

#include <atomic>
#include <cstdint>

namespace qx {

// The millisecond tick source every time budget is measured against. Elapsed times
// are taken as unsigned differences, so the 32-bit tick may wrap.
class Clock {
  public:
    virtual ~Clock() = default;

    // Microseconds since an arbitrary origin.
    virtual uint64_t nowUs() = 0;
    // Blocks the calling thread until nowUs() >= deadlineUs.
    virtual void sleepUntilUs(uint64_t deadlineUs) = 0;

    uint32_t tickMs() { return static_cast<uint32_t>(nowUs() / 1000); }
    void sleepMs(uint32_t ms) { sleepUntilUs(nowUs() + uint64_t{ms} * 1000); }
    // Milliseconds since `startTick`, robust to the tick wrapping.
    uint32_t elapsedMs(uint32_t startTick) { return tickMs() - startTick; }
};

// Wall time from the monotonic clock; sleeping blocks the thread.
class SteadyClock final : public Clock {
  public:
    uint64_t nowUs() override;
    void sleepUntilUs(uint64_t deadlineUs) override;
};

SteadyClock& steadyClock();

// Time that only moves when somebody sleeps: a 3000 ms retry limit costs nothing.
// Safe to share between threads; each sleeper simply moves time forward.
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(uint64_t startUs = 0) : nowUs_(startUs) {}
    uint64_t nowUs() override;
    void sleepUntilUs(uint64_t deadlineUs) override;
    void advanceUs(uint64_t us);

  private:
    std::atomic<uint64_t> nowUs_;
};

}  // namespace qx
