#pragma once

// Soaking the tool's operations in line faults: a connected simulated drive in virtual
// time that then misbehaves at random, the seeds that make every run replayable, and
// the longest each kind of exchange may take.

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "sim/SimDrive.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {

// How badly the line and the drive misbehave: each request meets a random fault (any of
// the six kinds) with one probability and begins a silent spell of 1 to 2 s with another.
struct FaultMix {
    const char* name;
    double faults;
    double spells;
    // Repetitions run in this mix, in percent of a soak's count.
    int repetitionPercent;
    // Added to a soak's seeds, so that each mix meets faults of its own.
    uint32_t seedOffset;
};
// Names the mix in test output.
inline void PrintTo(const FaultMix& mix, std::ostream* out) {
    *out << mix.name;
}

// A line that corrupts one request or reply in a hundred: the mix the soaks are about.
inline constexpr FaultMix kPercentLine{"PercentLine", 0.01, 0.002, 100, 0};
// A rough line, fewer repetitions: the failure paths come up many times more often.
inline constexpr FaultMix kRoughLine{"RoughLine", 0.05, 0.01, 40, 0x8000};

// The repetitions of one soak run seed base + 0 to base + count - 1. QX_SOAK_SEED and
// QX_SOAK_REPS replace the defaults, so QX_SOAK_SEED=<seed> QX_SOAK_REPS=1 replays the
// repetition a failure names.
struct SoakPlan {
    uint32_t base = 0;
    int count = 0;
    uint32_t seed(int rep) const { return base + static_cast<uint32_t>(rep); }
};
SoakPlan PlanSoak(uint32_t defaultBase, int defaultCount, const FaultMix& mix);
// What a failure message names: the seed and how to replay it in the running test.
std::string ReplayHint(uint32_t seed);

// Soaks are run in each fault mix.
class Soak : public ::testing::TestWithParam<FaultMix> {};
std::string MixName(const ::testing::TestParamInfo<FaultMix>& info);

// Longest one exchange with time budget `budgetMs` may take: attempts go on until the
// budget is spent, then one more is made; each attempt may overrun the receive budget
// by two blocking reads.
uint64_t ExchangeWorstMs(uint32_t budgetMs);
// Longest a session opening may take: sync burst and quiet, reset and connection set-up.
uint64_t SessionOpenWorstMs();

// A simulated drive with every feature, connected and identified over a fault-free
// line; misbehave() then starts the faults. Odd seeds pace the bytes at the wire's speed,
// even ones deliver each reply at once.
struct SoakRig {
    explicit SoakRig(uint32_t seed);
    // Connects as picking COM1 does; true when the drive was accepted.
    bool connect();
    // From now on the line and the drive misbehave as the mix and the seed say.
    void misbehave(const FaultMix& mix);
    uint64_t nowMs() { return clock.nowUs() / 1000; }
    // The faults the drive injected since the rig was built or last taken from a pool.
    sim::FaultTally faults() const;

    uint32_t seed;
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive;
    RecordingMessageSink messages;
    DriveLink link;
    sim::FaultTally faultsBefore;
};

// Rigs kept across the repetitions of a soak whose operation leaves the drive as it
// found it: building a drive costs more than most operations. take() clears the faults
// and the messages; a repetition then connects and starts the faults from its own seed,
// so it runs just as it would on a rig of its own (which is what a replay builds).
class RigPool {
  public:
    // The rig with `seed`'s pacing, its line quiet again.
    SoakRig& take(uint32_t seed);

  private:
    std::array<std::unique_ptr<SoakRig>, 2> rigs_;
};

// Counts outcomes and injected faults over a soak, and prints them at its end.
struct SoakTally {
    SoakTally(std::string what, const FaultMix& mix) : name(what + ", " + mix.name) {}
    ~SoakTally();
    // One operation and the faults it met.
    void add(bool succeeded, const sim::FaultTally& faults);
    void addOutcome(bool ok) { (ok ? succeeded : failed) += 1; }
    void addFaults(const sim::FaultTally& faults);

    std::string name;
    int succeeded = 0;
    int failed = 0;
    sim::FaultTally faults;
};

// The drive's parameter image, high byte first, as a parameter file holds it.
std::vector<uint8_t> DriveImage(const sim::SimDrive& drive);

}  // namespace qx::test
