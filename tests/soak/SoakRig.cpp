#include "tests/soak/SoakRig.h"

#include <cstdio>
#include <cstdlib>

#include "link/ConnectDrive.h"
#include "monitor/StatusPoll.h"
#include "params/ParamCatalog.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"

namespace qx::test {

void Soak::soak(const std::string& what, uint32_t base, int count, bool connect,
                const std::function<void(SoakRig&)>& rep) const {
    auto fromEnvironment = [](const char* name, uint32_t fallback) {
        const char* text = std::getenv(name);
        return text == nullptr || *text == '\0'
                   ? fallback
                   : static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
    };
    const FaultMix& mix = GetParam();
    const uint32_t first = fromEnvironment("QX_SOAK_SEED", base + mix.seedOffset);
    const auto reps = static_cast<uint32_t>(std::max(1, count * mix.repetitionPercent / 100));
    const uint32_t last = first + fromEnvironment("QX_SOAK_REPS", reps);
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sim::FaultTally faults;
    int succeeded = 0;
    for (uint32_t seed = first; seed != last && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed) + "; replay with QX_SOAK_SEED=" +
                     std::to_string(seed) + " QX_SOAK_REPS=1 test_soak --gtest_filter=*" + test);
        SoakRig rig(seed);
        if (connect) {
            ASSERT_EQ(ChooseComPort(rig.link, rig.state.identity, rig.messages, 1), 1);
            rig.messages.clear();
        }
        rig.drive->setRandomFaults(mix.faults, seed);
        rig.drive->setSilentSpells(mix.spells, seed);
        rep(rig);
        succeeded += rig.succeeded ? 1 : 0;
        const sim::FaultTally f = rig.drive->faultTally();
        for (std::size_t k = 0; k < f.faults.size(); ++k) {
            faults.faults[k] += f.faults[k];
        }
        faults.spells += f.spells;
    }
    std::string kinds;
    for (std::size_t k = 0; k < faults.faults.size(); ++k) {
        kinds += ", " + std::to_string(faults.faults[k]) + " " +
                 sim::FaultName(static_cast<sim::Fault>(k));
    }
    std::printf(
        "[ soak     ] %s, %s: %u repetitions, %d succeeded; faults met: %llu silent "
        "spells%s\n",
        what.c_str(), mix.name, last - first, succeeded,
        static_cast<unsigned long long>(faults.spells), kinds.c_str());
    EXPECT_GT(faults.total(), 0u) << "a soak that meets no fault proves nothing";
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
