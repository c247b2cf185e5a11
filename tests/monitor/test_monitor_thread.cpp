// The monitor worker: its start and stop handshake on the shared flags, a stop that
// comes while a poll is under way or before the thread has begun, a thread that cannot
// be created or that hangs, and a link lost and regained while it polls.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "monitor/MonitorThread.h"
#include "sim/MonitorFeatures.h"
#include "tests/monitor/PollHold.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;

// Waits (in real time, sleeping) for something the worker does; false if it never did.
template <typename Pred>
bool Eventually(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
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
    // A thread that only runs the monitor's loop once `gate` is opened.
    MonitorThread::ThreadStarter gated(std::shared_future<void> gate) {
        return [gate](std::function<void()> fn) {
            return std::thread([gate, fn = std::move(fn)] {
                gate.wait();
                fn();
            });
        };
    }
};

TEST(MonitorThread, NoDriveNoThread) {
    MonitorLink s;
    s.state.link.driveConnected = 0;
    s.status().monitorFinished = 0;
    MonitorThread monitor(s.link, s.status());
    EXPECT_FALSE(monitor.start(s.messages));
    EXPECT_FALSE(monitor.started());
    EXPECT_EQ(s.flags(), std::make_pair(0u, 1u));
    EXPECT_TRUE(monitor.stop());
    EXPECT_TRUE(s.messages.boxes().empty());
    EXPECT_TRUE(s.drive->requestLog().empty());
}

// Polls back to back while monitorRun is 1; stopped (or destroyed), it leaves its loop,
// sets monitorFinished and the drive hears nothing more.
TEST(MonitorThread, PollsUntilStoppedOrDestroyedThenSignalsItsEnd) {
    for (const bool destroy : {false, true}) {
        MonitorLink s;
        auto monitor = std::make_unique<MonitorThread>(s.link, s.status());
        ASSERT_TRUE(monitor->start(s.messages));
        ASSERT_TRUE(Eventually([&] { return monitor->pollCount() >= 2; }));
        EXPECT_EQ(s.flags(), std::make_pair(1u, 0u));
        if (destroy) {
            monitor.reset();
        } else {
            EXPECT_TRUE(monitor->stop());
            EXPECT_FALSE(monitor->started());
            EXPECT_EQ(monitor->lastStatus(), kStatusOk);
        }
        EXPECT_EQ(s.flags(), std::make_pair(0u, 1u));
        EXPECT_EQ(s.state.link.driveConnected, 1u);
        EXPECT_EQ(s.status().dcBusVolts, 311u);
        EXPECT_EQ(s.status().inputBits, 0x0200u);
        const uint64_t requests = s.drive->requestCount();
        s.clock.advanceUs(10'000'000);
        EXPECT_EQ(s.drive->requestCount(), requests);
        EXPECT_TRUE(s.messages.boxes().empty());
    }
}

TEST(MonitorThread, AThreadThatCannotBeCreatedIsReported) {
    MonitorLink s;
    MonitorThread monitor(s.link, s.status(), [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    EXPECT_FALSE(monitor.start(s.messages));
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));
    EXPECT_EQ(s.flags(), std::make_pair(0u, 1u));
    EXPECT_TRUE(monitor.stop()) << "nothing to wait for";
    EXPECT_TRUE(s.drive->requestLog().empty());
}

// monitorFinished is cleared before the thread exists: a stop that comes before the
// thread has begun still waits for it, and the thread, finding monitorRun cleared, ends.
TEST(MonitorThread, AStopBeforeTheThreadHasBegunWaitsForItAndItEndsAtOnce) {
    MonitorLink s;
    std::promise<void> gate;
    MonitorThread monitor(s.link, s.status(), s.gated(gate.get_future().share()));
    ASSERT_TRUE(monitor.start(s.messages));
    EXPECT_EQ(s.flags(), std::make_pair(1u, 0u));
    std::thread opener([&] {
        Eventually([&] { return s.status().monitorRun == 0; });
        gate.set_value();
    });
    EXPECT_TRUE(monitor.stop());
    opener.join();
    EXPECT_EQ(s.flags(), std::make_pair(0u, 1u));
    EXPECT_EQ(monitor.pollCount(), 0u);
    EXPECT_TRUE(s.drive->requestLog().empty());
}

// Two workers never share the link: a thread stuck (as one hung inside the port would
// be) is left to end on its own after the bounded wait; the next monitor waits for it
// without touching its flags and gives up after its own bound; the one after it starts
// once the thread left behind has ended.
TEST(MonitorThread, AThreadHungBeyondTheBoundIsLeftAloneAndWaitedFor) {
    MonitorLink s;
    std::promise<void> gate;
    MonitorThread monitor(s.link, s.status(), s.gated(gate.get_future().share()));
    ASSERT_TRUE(monitor.start(s.messages));
    std::thread timePasses([&] {
        Eventually([&] { return s.status().monitorRun == 0; });
        s.clock.advanceUs(uint64_t{kStatusPollWorstMs + 1000} * 1000);
    });
    EXPECT_FALSE(monitor.stop()) << "the closing wait is bounded";
    timePasses.join();
    EXPECT_FALSE(monitor.started());
    EXPECT_EQ(s.flags(), std::make_pair(0u, 0u));

    MonitorThread next(s.link, s.status());
    for (const uint64_t laterUs : {uint64_t{0}, uint64_t{kEarlierMonitorWaitMs} * 1000}) {
        s.clock.advanceUs(laterUs);
        EXPECT_FALSE(next.start(s.messages));
        EXPECT_TRUE(next.waiting());
        EXPECT_EQ(s.flags(), std::make_pair(0u, 0u));
        EXPECT_TRUE(s.messages.boxes().empty());
    }
    s.clock.advanceUs(1000);
    EXPECT_FALSE(next.start(s.messages));
    EXPECT_FALSE(next.waiting());
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));

    MonitorThread last(s.link, s.status());
    EXPECT_FALSE(last.start(s.messages));
    gate.set_value();
    ASSERT_TRUE(Eventually([&] { return last.start(s.messages); }))
        << "it ends by itself once it gets going";
    ASSERT_TRUE(Eventually([&] { return last.pollCount() >= 2; }));
    EXPECT_TRUE(last.stop());
    EXPECT_EQ(monitor.pollCount(), 0u) << "the thread left behind never polled beside it";
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
    EXPECT_EQ(s.flags(), std::make_pair(0u, 1u));
    EXPECT_EQ(monitor.pollCount(), 1u);
    EXPECT_NE(monitor.lastStatus(), kStatusOk);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
    EXPECT_TRUE(PollHold::OnlyThePollWentOn(s.drive->requestLog(), hold.atClear));
}

// A failed poll clears driveConnected and keeps the previous fields; the first poll
// that gets through again brings the fields up to date.
TEST(MonitorThread, ALostLinkFreezesTheFieldsUntilTheDriveAnswersAgain) {
    MonitorLink s;
    struct Poll {
        uint32_t status;
        uint32_t connected;
        StatusWords words;
    };
    std::mutex mutex;
    std::vector<Poll> polls;
    MonitorThread monitor(s.link, s.status());
    monitor.setPollObserver([&](uint32_t status) {
        std::lock_guard<std::mutex> lock(mutex);
        polls.push_back({status, s.state.link.driveConnected.load(), LoadStatusWords(s.status())});
    });
    const uint64_t now = s.clock.nowUs();
    s.drive->goAwayBetween(now + 200'000, now + 5'000'000);
    ASSERT_TRUE(monitor.start(s.messages));
    const auto regained = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return polls.size() > 2 && polls.front().status == kStatusOk &&
               polls.back().status == kStatusOk &&
               std::any_of(polls.begin(), polls.end(), [](auto& p) { return p.status != 0; });
    };
    ASSERT_TRUE(Eventually(regained));
    EXPECT_TRUE(monitor.stop());
    std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t k = 1; k < polls.size(); ++k) {
        const Poll& p = polls[k];
        EXPECT_EQ(p.connected, p.status == kStatusOk ? 1u : 0u);
        if (p.status != kStatusOk) {
            EXPECT_EQ(p.words, polls[k - 1].words) << "a failed poll keeps the fields";
        } else if (polls[k - 1].status != kStatusOk) {
            EXPECT_NE(p.words, polls[k - 1].words) << "the motor moved on meanwhile";
        }
    }
}

}  // namespace
}  // namespace qx::test
