#include "tests/soak/SoakRig.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "link/ConnectDrive.h"
#include "monitor/StatusPoll.h"
#include "params/ParamCatalog.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"

namespace qx::test {

namespace {

uint32_t FromEnvironment(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
}

}  // namespace

SoakPlan PlanSoak(uint32_t defaultBase, int defaultCount, const FaultMix& mix) {
    SoakPlan plan;
    plan.base = FromEnvironment("QX_SOAK_SEED", defaultBase + mix.seedOffset);
    const int count = std::max(1, defaultCount * mix.repetitionPercent / 100);
    plan.count = static_cast<int>(FromEnvironment("QX_SOAK_REPS", static_cast<uint32_t>(count)));
    return plan;
}

std::string ReplayHint(uint32_t seed) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name =
        test == nullptr ? "*" : std::string(test->test_suite_name()) + "." + test->name();
    return "seed " + std::to_string(seed) + "; replay with QX_SOAK_SEED=" + std::to_string(seed) +
           " QX_SOAK_REPS=1 test_soak --gtest_filter=" + name;
}

std::string MixName(const ::testing::TestParamInfo<FaultMix>& info) {
    return info.param.name;
}

uint64_t ExchangeWorstMs(uint32_t budgetMs) {
    // A receive reads until its budget is spent, then once more; each read blocks at
    // most kReadCallMaxMs. Ticks are whole milliseconds, so every comparison may be one
    // late.
    const uint64_t attempt = kReceiveBudgetMs + 2 * kReadCallMaxMs + 2;
    return budgetMs + 2 * attempt + 2;
}

uint64_t SessionOpenWorstMs() {
    return kSyncQuietMs + 2 + 2 * ExchangeWorstMs(kReceiveBudgetMs);
}

SoakRig::SoakRig(uint32_t s)
    : seed(s),
      drive(sim::MakeSimDrive(sim::SimOptions{}, clock.nowUs())),
      link(state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
          return std::make_unique<sim::SimPort>(drive, clock, (seed & 1) != 0);
      }) {
    ApplyStartupValues(state);
}

bool SoakRig::connect() {
    const bool ok = ChooseComPort(link, state.identity, messages, 1) == 1;
    messages.clear();
    return ok;
}

sim::FaultTally SoakRig::faults() const {
    sim::FaultTally now = drive->faultTally();
    for (std::size_t k = 0; k < now.faults.size(); ++k) {
        now.faults[k] -= faultsBefore.faults[k];
    }
    now.spells -= faultsBefore.spells;
    now.silencedBySpells -= faultsBefore.silencedBySpells;
    return now;
}

void SoakRig::misbehave(const FaultMix& mix) {
    drive->setRandomFaults(mix.faults, seed);
    drive->setSilentSpells(mix.spells, seed);
}

SoakRig& RigPool::take(uint32_t seed) {
    std::unique_ptr<SoakRig>& rig = rigs_[seed & 1];
    if (!rig) {
        rig = std::make_unique<SoakRig>(seed);
    }
    rig->seed = seed;
    rig->drive->clearFaults();
    rig->messages.clear();
    rig->faultsBefore = rig->drive->faultTally();
    return *rig;
}

SoakTally::~SoakTally() {
    std::printf(
        "[ soak     ] %s: %d operations, %d succeeded, %d failed; faults injected: "
        "%llu silence, %llu bad-checksum, %llu no-ack, %llu trailing-bytes, %llu wrong-echo, "
        "%llu truncate; %llu silent spells (%llu requests unanswered)\n",
        name.c_str(), succeeded + failed, succeeded, failed,
        static_cast<unsigned long long>(faults.faults[0]),
        static_cast<unsigned long long>(faults.faults[1]),
        static_cast<unsigned long long>(faults.faults[2]),
        static_cast<unsigned long long>(faults.faults[3]),
        static_cast<unsigned long long>(faults.faults[4]),
        static_cast<unsigned long long>(faults.faults[5]),
        static_cast<unsigned long long>(faults.spells),
        static_cast<unsigned long long>(faults.silencedBySpells));
}

void SoakTally::add(bool ok, const sim::FaultTally& f) {
    addOutcome(ok);
    addFaults(f);
}

void SoakTally::addFaults(const sim::FaultTally& f) {
    for (std::size_t k = 0; k < f.faults.size(); ++k) {
        faults.faults[k] += f.faults[k];
    }
    faults.spells += f.spells;
    faults.silencedBySpells += f.silencedBySpells;
}

std::vector<uint8_t> DriveImage(const sim::SimDrive& drive) {
    std::vector<uint8_t> image;
    for (uint16_t k = 0; k < kParamImageWordCount; ++k) {
        const uint16_t w = drive.read(kParamImageFirstWord + k);
        image.push_back(static_cast<uint8_t>(w >> 8));
        image.push_back(static_cast<uint8_t>(w & 0xFF));
    }
    return image;
}

}  // namespace qx::test
