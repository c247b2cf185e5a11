#pragma once

// Soaking the tool's operations in line faults: a simulated drive, connected and
// identified in virtual time, that then misbehaves at random; seeds that make every run
// replayable; the longest each kind of exchange may take.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "sim/SimDrive.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {

// How badly the line and the drive misbehave: each request meets a random fault (any of
// the six kinds) with one probability and begins a silent spell of 1 to 2 s with another.
// A mix runs its share of a soak's repetitions, from seeds of its own.
struct FaultMix {
    const char* name;
    double faults, spells;
    int repetitionPercent;
    uint32_t seedOffset;
};
inline void PrintTo(const FaultMix& mix, std::ostream* out) {
    *out << mix.name;
}
// A line that corrupts one request or reply in a hundred, what the soaks are about; and a
// rough one, on which the failure paths come up many times more often.
inline constexpr FaultMix kPercentLine{"PercentLine", 0.01, 0.002, 100, 0};
inline constexpr FaultMix kRoughLine{"RoughLine", 0.05, 0.01, 40, 0x8000};

// A simulated drive with every feature. Odd seeds pace the bytes at the wire's speed,
// even ones deliver each reply at once.
struct SoakRig {
    explicit SoakRig(uint32_t seed);
    uint64_t nowMs() { return clock.nowUs() / 1000; }

    uint32_t seed;
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive;
    RecordingMessageSink messages;
    DriveLink link;
    bool succeeded = false;  // what a soak's repetition says of its operation
};

// Soaks run in each fault mix.
class Soak : public ::testing::TestWithParam<FaultMix> {
  protected:
    // Runs `rep` on a rig of each seed, base + 0, 1, ... (connected first if `connect`),
    // its line misbehaving; `rep` notes whether its operation succeeded. QX_SOAK_SEED and
    // QX_SOAK_REPS replace the defaults: QX_SOAK_SEED=<seed> QX_SOAK_REPS=1 replays the
    // repetition a failure names.
    void soak(const std::string& what, uint32_t base, int count, bool connect,
              const std::function<void(SoakRig&)>& rep) const;
};
std::string MixName(const ::testing::TestParamInfo<FaultMix>& info);

// Longest one exchange with time budget `budgetMs` may take: attempts go on until the
// budget is spent, then one more is made; each attempt may overrun the receive budget
// by two blocking reads.
uint64_t ExchangeWorstMs(uint32_t budgetMs);
// Longest a session opening may take: sync burst and quiet, reset and connection set-up.
uint64_t SessionOpenWorstMs();

// The drive's parameter image, high byte first, as a parameter file holds it.
std::vector<uint8_t> DriveImage(const sim::SimDrive& drive);

}  // namespace qx::test
