// Monitor sessions of many polls each over a line with random faults and silent spells:
// a poll that succeeds leaves exactly the status the drive sent, one that fails clears
// the connection and keeps the last good values, and every poll and the stop keep to
// their time limits.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "monitor/MonitorThread.h"
#include "monitor/StatusPoll.h"
#include "tests/soak/SoakRig.h"

namespace qx::test {
namespace {

class SoakMonitor : public Soak {};

constexpr std::size_t kPollsPerSession = 25;

// Each poll is checked as it ends, on the monitor's worker.
TEST_P(SoakMonitor, SessionsOfManyPolls) {
    soak("monitor polls", 0x51A5'0000, 80, true, [](SoakRig& rig) {
        std::mutex mutex;
        std::vector<uint16_t> w;  // the drive's latest answer, whatever became of it on its way
        rig.drive->setPollHandler(
            [&, inner = rig.drive->pollHandler()](sim::SimDrive& d, uint64_t nowUs) {
                sim::Answer a = inner(d, nowUs);
                std::lock_guard<std::mutex> lock(mutex);
                w = a.words;
                return a;
            });
        MonitorThread monitor(rig.link, rig.state.driveStatus);
        std::condition_variable doneCv;
        std::size_t polls = 0;
        bool everyPoll = true;
        uint64_t lastMs = rig.nowMs();
        StatusWords good = LoadStatusWords(rig.state.driveStatus);
        monitor.setPollObserver([&](uint32_t status) {
            std::lock_guard<std::mutex> lock(mutex);
            const bool ok = status == kStatusOk;
            EXPECT_LE(rig.nowMs() - lastMs, kStatusPollWorstMs);
            lastMs = rig.nowMs();
            EXPECT_EQ(rig.state.link.driveConnected.load(), ok ? 1u : 0u);
            if (ok) {
                // The status the drive sent, read from its reply words themselves.
                ASSERT_GE(w.size(), 14u);
                auto dword = [&](int k) { return uint32_t{w[k]} << 16 | w[k + 1]; };
                good = {w[1],     w[2],  dword(3), w[5],  w[6], w[7],
                        dword(8), w[10], w[11],    w[12], w[13]};
            }
            EXPECT_EQ(LoadStatusWords(rig.state.driveStatus), good)
                << "the status sent, or the last good one after a failure";
            everyPoll = everyPoll && ok;
            if (++polls == kPollsPerSession) {
                monitor.requestStop();  // the dialog closes during this poll: the last one
                doneCv.notify_all();
            }
        });
        ASSERT_TRUE(monitor.start(rig.messages));
        {
            // Only against a hung worker, whose virtual clock stands still.
            std::unique_lock<std::mutex> lock(mutex);
            ASSERT_TRUE(doneCv.wait_for(lock, std::chrono::seconds(30), [&] {
                return polls >= kPollsPerSession;
            })) << "the monitor hung";
        }
        ASSERT_TRUE(monitor.stop()) << "the monitor ends within its bound";
        EXPECT_TRUE(rig.messages.boxes().empty());
        EXPECT_EQ(polls, kPollsPerSession);
        rig.succeeded = everyPoll;
    });
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakMonitor, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
