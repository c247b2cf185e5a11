// The monitor worker: its start and stop handshake on the shared flags, a stop while a
// poll is under way, a thread that cannot be created or that hangs, and a lost link.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <system_error>
#include <thread>

#include "monitor/MonitorThread.h"
#include "sim/MonitorFeatures.h"
#include "tests/monitor/PollHold.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
using Bytes = std::vector<uint8_t>;
const std::pair<uint32_t, uint32_t> kIdle{0, 1};  // monitorRun, monitorFinished

// Waits (in real time, sleeping) for something the worker does; false if it never did.
template <typename Pred>
bool Eventually(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (bool done = pred(); !done; done = pred()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct MonitorLink : SimLink {
    MonitorLink() {
        sim::InstallMonitorFeatures(*drive, {}, clock.nowUs());
        EXPECT_TRUE(open());
        drive->clearRequestLog();
    }
    DriveStatus& status() { return state.driveStatus; }
    std::pair<uint32_t, uint32_t> flags() {
        return {status().monitorRun.load(), status().monitorFinished.load()};
    }
};

TEST(MonitorThread, AThreadThatCannotBeCreatedIsReportedAndLeavesTheFlagsIdle) {
    MonitorLink s;
    s.status().monitorFinished = 0;
    MonitorThread monitor(s.link, s.status(), [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    EXPECT_FALSE(monitor.start(s.messages));
    EXPECT_EQ(s.flags(), kIdle);
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));
    EXPECT_TRUE(monitor.stop()) << "nothing to wait for";
    EXPECT_TRUE(s.drive->requestLog().empty());
}

// Polls back to back while monitorRun is 1, on through a lost link until the drive
// answers again; stopped, it leaves its loop, sets monitorFinished, and the drive hears
// nothing more.
TEST(MonitorThread, PollsThroughALostLinkUntilStoppedThenSignalsItsEnd) {
    MonitorLink s;
    std::atomic<int> failed{0};
    MonitorThread monitor(s.link, s.status());
    monitor.setPollObserver([&](uint32_t status) { failed += status != kStatusOk ? 1 : 0; });
    s.drive->goAwayBetween(s.clock.nowUs() + 200'000, s.clock.nowUs() + 5'000'000);
    ASSERT_TRUE(monitor.start(s.messages));
    ASSERT_TRUE(Eventually([&] { return failed > 1 && s.state.link.driveConnected == 1; }));
    EXPECT_EQ(s.flags(), std::make_pair(1u, 0u));
    EXPECT_TRUE(monitor.stop());
    EXPECT_EQ(std::pair(s.flags(), monitor.lastStatus()), std::pair(kIdle, uint32_t{kStatusOk}));
    const uint64_t requests = s.drive->requestCount();
    s.clock.advanceUs(10'000'000);
    EXPECT_EQ(s.drive->requestCount(), requests);
}

// A stop that comes while a poll is under way waits for that poll to end (its request
// tried again while the budget lasts) and for no other.
TEST(MonitorThread, AStopDuringAPollWaitsForThatPollOnly) {
    MonitorLink s;
    PollHold hold;
    hold.install(*s.drive, s.status());
    MonitorThread monitor(s.link, s.status());
    ASSERT_TRUE(monitor.start(s.messages));
    ASSERT_TRUE(Eventually([&] { return hold.held.load(); }));
    EXPECT_TRUE(monitor.stop());
    EXPECT_EQ(s.flags(), kIdle);
    EXPECT_EQ(monitor.pollCount(), 1u);
    const auto log = s.drive->requestLog();  // then only the poll request under way, again
    EXPECT_EQ(std::count(log.begin() + hold.atClear, log.end(), Bytes{0xAA, 0xC2, 1, 3, 1, 0x70}),
              log.end() - (log.begin() + hold.atClear));
}

// Two workers never share the link. A thread stuck before its loop (as one hung in the port
// would be) is left alone after the bounded wait; the next monitor waits for it without
// touching its flags, then gives up; the one after starts once it has ended unpolled.
TEST(MonitorThread, AThreadHungBeyondTheBoundIsLeftAloneAndWaitedFor) {
    MonitorLink s;
    std::promise<void> gate;
    MonitorThread monitor(s.link, s.status(),
                          [opened = gate.get_future().share()](std::function<void()> fn) {
                              return std::thread([opened, fn] {
                                  opened.wait();
                                  fn();
                              });
                          });
    ASSERT_TRUE(monitor.start(s.messages));
    std::thread timePasses([&] {
        Eventually([&] { return s.status().monitorRun == 0; });
        s.clock.advanceUs(uint64_t{kStatusPollWorstMs + 1000} * 1000);
    });
    EXPECT_FALSE(monitor.stop()) << "the closing wait is bounded";
    timePasses.join();
    EXPECT_EQ(s.flags(), std::make_pair(0u, 0u));

    MonitorThread next(s.link, s.status());
    for (const uint64_t laterUs :
         {uint64_t{0}, uint64_t{kEarlierMonitorWaitMs} * 1000, uint64_t{1000}}) {
        s.clock.advanceUs(laterUs);
        EXPECT_FALSE(next.start(s.messages));
        EXPECT_EQ(next.waiting(), laterUs != 1000);
        EXPECT_EQ(s.flags(), std::make_pair(0u, 0u));
    }
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));

    MonitorThread last(s.link, s.status());
    EXPECT_FALSE(last.start(s.messages));
    gate.set_value();
    ASSERT_TRUE(Eventually([&] { return last.start(s.messages); }));
    ASSERT_TRUE(Eventually([&] { return last.pollCount() >= 2; }));
    EXPECT_TRUE(last.stop());
    EXPECT_EQ(monitor.pollCount(), 0u) << "the thread left behind never polled beside it";
}

}  // namespace
}  // namespace qx::test
