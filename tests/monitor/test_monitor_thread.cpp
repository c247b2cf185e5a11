// The monitor worker: its start and stop handshake on the shared flags, a stop that
// comes while a poll is under way or before the thread has begun, a thread that cannot
// be created, and a link lost and regained while it polls.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "monitor/MonitorThread.h"
#include "monitor/StatusPoll.h"
#include "sim/MonitorFeatures.h"
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
        model = sim::InstallMonitorFeatures(*drive, {}, clock.nowUs());
        EXPECT_TRUE(open());
        drive->clearRequestLog();
    }
    // The C2 requests that reached the drive.
    std::size_t polls() const {
        std::size_t n = 0;
        for (const auto& f : drive->requestLog()) {
            n += f[1] == 0xC2 ? 1 : 0;
        }
        return n;
    }
    std::shared_ptr<sim::DriveStatusModel> model;
};

TEST(MonitorThread, NoDriveNoThread) {
    MonitorLink s;
    s.state.link.driveConnected = 0;
    s.state.driveStatus.monitorFinished = 0;
    MonitorThread monitor(s.link, s.state.driveStatus);
    EXPECT_FALSE(monitor.start(s.messages));
    EXPECT_FALSE(monitor.started());
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    EXPECT_EQ(s.state.driveStatus.monitorRun, 0u);
    EXPECT_TRUE(s.messages.boxes().empty());
    EXPECT_TRUE(monitor.stop());
    EXPECT_TRUE(s.drive->requestLog().empty());
}

TEST(MonitorThread, PollsUntilStoppedThenSignalsItsEnd) {
    MonitorLink s;
    MonitorThread monitor(s.link, s.state.driveStatus);
    ASSERT_TRUE(monitor.start(s.messages));
    EXPECT_EQ(s.state.driveStatus.monitorRun, 1u);
    ASSERT_TRUE(Eventually([&] { return monitor.pollCount() >= 3; }));
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 0u) << "the thread is inside its loop";

    EXPECT_TRUE(monitor.stop());
    EXPECT_EQ(s.state.driveStatus.monitorRun, 0u);
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    EXPECT_FALSE(monitor.started());
    EXPECT_EQ(monitor.lastStatus(), kStatusOk);
    EXPECT_EQ(s.state.link.driveConnected, 1u);
    EXPECT_EQ(s.state.driveStatus.dcBusVolts, 311u);
    EXPECT_EQ(s.state.driveStatus.inputBits, 0x0200u);

    // Every poll is a session of its own: reset, set-up, poll with selector 1.
    const auto log = s.drive->requestLog();
    ASSERT_EQ(log.size() % 3, 0u);
    EXPECT_EQ(log.size() / 3, monitor.pollCount());
    for (std::size_t k = 0; k < log.size(); k += 3) {
        EXPECT_EQ(log[k], (std::vector<uint8_t>{0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C}));
        EXPECT_EQ(log[k + 1], (std::vector<uint8_t>{0xAA, 0xC0, 0x00, 0x03, 0x01, 0x6D}));
        EXPECT_EQ(log[k + 2], (std::vector<uint8_t>{0xAA, 0xC2, 0x01, 0x03, 0x01, 0x70}));
    }
    EXPECT_TRUE(s.messages.boxes().empty());
}

TEST(MonitorThread, ADestroyedMonitorHasStoppedItsThread) {
    MonitorLink s;
    {
        MonitorThread monitor(s.link, s.state.driveStatus);
        ASSERT_TRUE(monitor.start(s.messages));
        ASSERT_TRUE(Eventually([&] { return monitor.pollCount() >= 1; }));
    }
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    const std::size_t polls = s.polls();
    s.clock.advanceUs(10'000'000);
    EXPECT_EQ(s.polls(), polls);
}

TEST(MonitorThread, AThreadThatCannotBeCreatedIsReported) {
    MonitorLink s;
    MonitorThread monitor(s.link, s.state.driveStatus, [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    EXPECT_FALSE(monitor.start(s.messages));
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    EXPECT_TRUE(monitor.stop()) << "nothing to wait for";
    EXPECT_TRUE(s.drive->requestLog().empty());
}

TEST(MonitorThread, AStopBeforeTheThreadHasBegunWaitsForItAndItEndsAtOnce) {
    MonitorLink s;
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    MonitorThread monitor(s.link, s.state.driveStatus, [opened](std::function<void()> fn) {
        return std::thread([opened, fn = std::move(fn)] {
            opened.wait();
            fn();
        });
    });
    ASSERT_TRUE(monitor.start(s.messages));
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 0u) << "cleared before the thread runs";

    // Let the thread begin only once the stop has cleared monitorRun.
    std::thread opener([&] {
        Eventually([&] { return s.state.driveStatus.monitorRun == 0; });
        gate.set_value();
    });
    EXPECT_TRUE(monitor.stop());
    opener.join();
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    EXPECT_EQ(monitor.pollCount(), 0u);
    EXPECT_TRUE(s.drive->requestLog().empty());
}

TEST(MonitorThread, AThreadHungBeyondTheBoundIsLeftToEndOnItsOwn) {
    MonitorLink s;
    std::promise<void> gate;
    std::shared_future<void> released = gate.get_future().share();
    // A thread stuck (in real time) before its loop, as one hung inside the port would be.
    MonitorThread monitor(s.link, s.state.driveStatus, [released](std::function<void()> fn) {
        return std::thread([released, fn = std::move(fn)] {
            released.wait();
            fn();
        });
    });
    ASSERT_TRUE(monitor.start(s.messages));
    std::thread timePasses([&] {
        Eventually([&] { return s.state.driveStatus.monitorRun == 0; });
        s.clock.advanceUs(uint64_t{kStatusPollWorstMs + 1000} * 1000);
    });
    EXPECT_FALSE(monitor.stop()) << "the closing wait is bounded";
    timePasses.join();
    EXPECT_FALSE(monitor.started());
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 0u);

    // The next monitor waits for it without touching its flags, and gives up after the
    // bound; the one after it starts once the thread left behind has ended.
    MonitorThread next(s.link, s.state.driveStatus);
    EXPECT_FALSE(next.start(s.messages));
    EXPECT_TRUE(next.waiting());
    EXPECT_EQ(s.state.driveStatus.monitorRun, 0u);
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 0u);
    s.clock.advanceUs(uint64_t{kEarlierMonitorWaitMs} * 1000);
    EXPECT_FALSE(next.start(s.messages));
    EXPECT_TRUE(next.waiting());
    s.clock.advanceUs(1000);
    EXPECT_FALSE(next.start(s.messages));
    EXPECT_FALSE(next.waiting());
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create monitor Thread Fails!", "Warning"}}));

    MonitorThread last(s.link, s.state.driveStatus);
    EXPECT_FALSE(last.start(s.messages));
    gate.set_value();
    ASSERT_TRUE(Eventually([&] { return last.start(s.messages); }))
        << "it ends by itself once it gets going";
    ASSERT_TRUE(Eventually([&] { return last.pollCount() >= 2; }));
    EXPECT_TRUE(last.stop());
    EXPECT_EQ(monitor.pollCount(), 0u) << "the thread left behind never polled beside it";
}

TEST(MonitorThread, AStopDuringAPollReturnsWithinThePollsTimeouts) {
    MonitorLink s;
    // The drive opens every session but never answers the poll: each poll spends its
    // full time-outs on the last request.
    s.drive->addFault({sim::Fault::Silence, 0xC2, -1, -1, 0, -1});
    MonitorThread monitor(s.link, s.state.driveStatus);
    ASSERT_TRUE(monitor.start(s.messages));
    ASSERT_TRUE(Eventually([&] { return s.polls() >= 1; })) << "a poll is under way";

    const uint64_t before = s.clock.nowUs();
    EXPECT_TRUE(monitor.stop());
    const uint64_t tookMs = (s.clock.nowUs() - before) / 1000;
    EXPECT_LE(tookMs, kStatusPollWorstMs);
    EXPECT_EQ(s.state.driveStatus.monitorFinished, 1u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
    EXPECT_NE(monitor.lastStatus(), kStatusOk);
}

TEST(MonitorThread, ALostLinkFreezesTheFieldsUntilTheDriveAnswersAgain) {
    MonitorLink s;
    struct Poll {
        uint32_t status;
        uint32_t connected;
        StatusWords words;
    };
    std::mutex mutex;
    std::vector<Poll> polls;
    MonitorThread monitor(s.link, s.state.driveStatus);
    monitor.setPollObserver([&](uint32_t status) {
        std::lock_guard<std::mutex> lock(mutex);
        polls.push_back(
            {status, s.state.link.driveConnected.load(), LoadStatusWords(s.state.driveStatus)});
    });
    const uint64_t now = s.clock.nowUs();
    s.drive->goAwayBetween(now + 200'000, now + 5'000'000);
    ASSERT_TRUE(monitor.start(s.messages));
    auto regained = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        bool lost = false;
        for (const Poll& p : polls) {
            lost = lost || p.status != kStatusOk;
            if (lost && p.status == kStatusOk) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(Eventually(regained));
    EXPECT_TRUE(monitor.stop());

    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(polls.front().status, kStatusOk);
    const StatusWords* lastGood = nullptr;
    bool lost = false;
    for (const Poll& p : polls) {
        if (p.status == kStatusOk) {
            EXPECT_EQ(p.connected, 1u);
            if (lost) {
                EXPECT_NE(p.words, *lastGood) << "the motor moved on meanwhile";
            }
            lost = false;
            lastGood = &p.words;
        } else {
            lost = true;
            EXPECT_EQ(p.connected, 0u);
            EXPECT_EQ(p.words, *lastGood) << "a failed poll keeps the previous fields";
        }
    }
}

}  // namespace
}  // namespace qx::test
