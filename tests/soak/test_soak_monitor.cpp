// Monitor sessions of many polls each over a line with random faults and silent spells:
// a poll that succeeds leaves exactly the status the drive sent, one that fails clears
// the connection and keeps the last good values, and every poll and the stop keep to
// their time limits.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "monitor/MonitorThread.h"
#include "monitor/StatusPoll.h"
#include "tests/soak/SoakRig.h"

namespace qx::test {
namespace {

class SoakMonitor : public Soak {};

constexpr uint32_t kMonitorSeed = 0x51A5'0000;
constexpr uint64_t kPollsPerSession = 25;
// Only against a hung worker, whose virtual clock stands still.
constexpr auto kHungWorker = std::chrono::seconds(30);

// The status the drive put into its reply, read from the reply words themselves.
StatusWords FromReplyWords(const std::vector<uint16_t>& w) {
    StatusWords s;
    s.torqueRaw = w[1];
    s.speedRaw = w[2];
    s.positionFeedback = uint32_t{w[3]} << 16 | w[4];
    s.alarmWord = w[5];
    s.torqueCommandRaw = w[6];
    s.speedCommandRaw = w[7];
    s.positionCommand = uint32_t{w[8]} << 16 | w[9];
    s.phaseBits = w[10];
    s.inputBits = w[11];
    s.outputBits = w[12];
    s.dcBusVolts = w[13];
    return s;
}

// What the monitor left after one poll, and what the drive answered last.
struct PollRecord {
    uint32_t status = 0;
    uint32_t connected = 0;
    StatusWords shown;
    std::vector<uint16_t> lastAnswer;
    uint64_t tookMs = 0;
};

// Keeps the words of the drive's latest answer to a poll, whatever became of the reply
// on its way.
struct AnswerLog {
    std::mutex mutex;
    std::vector<uint16_t> last;
};

TEST_P(SoakMonitor, SessionsOfManyPolls) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kMonitorSeed, 80, mix);
    SoakTally tally("monitor polls", mix);
    RigPool pool;
    std::array<std::shared_ptr<AnswerLog>, 2> logs;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig& rig = pool.take(seed);
        std::shared_ptr<AnswerLog>& answers = logs[seed & 1];
        if (!answers) {
            answers = std::make_shared<AnswerLog>();
            rig.drive->setPollHandler(
                [answers, inner = rig.drive->pollHandler()](sim::SimDrive& d, uint64_t nowUs) {
                    sim::Answer a = inner(d, nowUs);
                    std::lock_guard<std::mutex> lock(answers->mutex);
                    answers->last = a.words;
                    return a;
                });
        }
        {
            std::lock_guard<std::mutex> lock(answers->mutex);
            answers->last.clear();
        }
        ASSERT_TRUE(rig.connect());
        rig.misbehave(mix);

        MonitorThread monitor(rig.link, rig.state.driveStatus);
        std::vector<PollRecord> records;  // written by the worker until it has finished
        std::mutex doneMutex;
        std::condition_variable doneCv;
        bool done = false;
        uint64_t lastMs = rig.nowMs();
        monitor.setPollObserver([&](uint32_t status) {
            PollRecord r;
            r.status = status;
            r.connected = rig.state.link.driveConnected.load();
            r.shown = LoadStatusWords(rig.state.driveStatus);
            {
                std::lock_guard<std::mutex> lock(answers->mutex);
                r.lastAnswer = answers->last;
            }
            r.tookMs = rig.nowMs() - lastMs;
            lastMs = rig.nowMs();
            records.push_back(r);
            if (records.size() == kPollsPerSession) {
                // The dialog closes during this poll: it is the last one.
                monitor.requestStop();
                {
                    std::lock_guard<std::mutex> lock(doneMutex);
                    done = true;
                }
                doneCv.notify_all();
            }
        });
        const StatusWords before = LoadStatusWords(rig.state.driveStatus);
        ASSERT_TRUE(monitor.start(rig.messages));
        {
            std::unique_lock<std::mutex> lock(doneMutex);
            ASSERT_TRUE(doneCv.wait_for(lock, kHungWorker, [&] { return done; }))
                << "the monitor hung";
        }
        ASSERT_TRUE(monitor.stop()) << "the monitor ends within its bound";
        EXPECT_TRUE(rig.messages.boxes().empty());

        ASSERT_EQ(records.size(), kPollsPerSession);
        StatusWords good = before;
        for (std::size_t i = 0; i < records.size(); ++i) {
            SCOPED_TRACE("poll " + std::to_string(i));
            const PollRecord& r = records[i];
            EXPECT_LE(r.tookMs, kStatusPollWorstMs);
            if (r.status == kStatusOk) {
                EXPECT_EQ(r.connected, 1u);
                ASSERT_GE(r.lastAnswer.size(), 14u);
                EXPECT_EQ(r.shown, FromReplyWords(r.lastAnswer)) << "the status the drive sent";
                good = r.shown;
            } else {
                EXPECT_EQ(r.connected, 0u);
                EXPECT_EQ(r.shown, good) << "a failed poll keeps the last good values";
            }
            tally.addOutcome(r.status == kStatusOk);
        }
        tally.addFaults(rig.faults());
    }
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakMonitor, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
