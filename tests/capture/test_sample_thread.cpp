// The capture worker: its queue, the hand-over of records to the window, restarts by
// a new request and the way it ends, started and ended many times.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "capture/DecodeSamples.h"
#include "capture/SampleThread.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

struct ThreadRig : CaptureRig {
    ThreadRig() {
        SetUpDrive(CaptureKind::Current, 256);
        TuningJob(CaptureKind::Current, 256);
    }
};

TEST(SampleThread, AnIdleWorkerSendsNothingAndEndsOnQuit) {
    ThreadRig rig;
    Window window;
    SampleThread thread(rig.state, rig.link, window);
    rig.state.workerSync.sampleThreadEnded = 1;  // left over from an earlier worker
    ASSERT_TRUE(thread.start());
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 0u)
        << "cleared before the worker runs, so an immediate quit cannot be missed";
    thread.postMessage(0x0401);  // not one of its messages: discarded
    EXPECT_TRUE(thread.end());
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
    EXPECT_FALSE(thread.started());
    EXPECT_TRUE(rig.drive->requestLog().empty());
    EXPECT_EQ(window.done(), 0);
}

TEST(SampleThread, EachStartBringsOneRecordIntoTheSampleBuffer) {
    ThreadRig rig;
    Window window;
    SampleThread thread(rig.state, rig.link, window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    ASSERT_TRUE(window.waitFor(1));
    {
        std::lock_guard<std::mutex> lock(rig.state.sampleBufferMutex);
        for (int w = 0; w < 512; ++w) {
            const uint16_t v = rig.drive->read(1024 + w);
            ASSERT_EQ(rig.state.sampleBuffer[2 * w] << 8 | rig.state.sampleBuffer[2 * w + 1], v);
        }
    }
    thread.postStart();
    ASSERT_TRUE(window.waitFor(2));
    EXPECT_TRUE(thread.end());
    EXPECT_EQ(thread.recordsDone(), 2u);
}

TEST(SampleThread, AStartDuringTheReadOutRestartsTheCaptureWithNewGains) {
    ThreadRig rig;
    Window window;
    SampleThread thread(rig.state, rig.link, window);
    // The window changes Ki while the second chunk is read, and asks again.
    std::atomic<int> chunks{0};
    auto reader = [&](sim::SimDrive& d, std::span<const uint8_t> p, uint64_t) {
        const uint16_t address = static_cast<uint16_t>(p[2] << 8 | p[3]);
        if (address == 1144 && chunks.fetch_add(1) == 0) {
            rig.state.currentLoopModel.word0215 = 1500;
            thread.postStart();
        }
        std::vector<uint16_t> words(p[5]);
        for (std::size_t k = 0; k < words.size(); ++k) {
            words[k] = d.read(address + static_cast<uint32_t>(k));
        }
        return sim::Answer::Ok(std::move(words));
    };
    rig.drive->setSubCommandHandler(0x0091, reader);
    rig.state.currentLoopModel.word0215 = 2000;
    ASSERT_TRUE(thread.start());
    thread.postStart();
    ASSERT_TRUE(window.waitFor(1));
    EXPECT_TRUE(thread.end());
    EXPECT_EQ(window.done(), 1) << "the interrupted capture never reported";

    const std::vector<Request> x = Exchanges(*rig.drive);
    std::vector<int> gainWrites;
    std::size_t secondOpening = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i].sub() == 0x0015) {
            gainWrites.push_back(x[i].word(12));
        }
        if (i > 0 && x[i].command == 0xCF) {
            secondOpening = i;
        }
    }
    EXPECT_EQ(gainWrites, (std::vector<int>{2000, 1500}));
    ASSERT_GT(secondOpening, 0u);
    EXPECT_EQ(x[secondOpening - 1].word(2), 1144) << "restarted right after that chunk";
    EXPECT_EQ(x[secondOpening + 1].selector, 0);
    EXPECT_EQ(x[secondOpening + 2].selector, 1);
}

TEST(SampleThread, QuitDuringACaptureEndsTheWorkerBetweenTwoSteps) {
    ThreadRig rig;
    Window window;
    SampleThread thread(rig.state, rig.link, window);
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    ASSERT_TRUE(thread.start());
    thread.postStart();
    while (rig.drive->requestCount() < 5) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(thread.end());
    EXPECT_EQ(window.done(), 0);
    const uint64_t after = rig.drive->requestCount();
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(rig.drive->requestCount(), after) << "nothing is sent once the worker ended";
}

TEST(SampleThread, StartedAndEndedManyTimes) {
    ThreadRig rig;
    Window window;
    int expected = 0;
    for (int round = 0; round < 60; ++round) {
        SampleThread thread(rig.state, rig.link, window);
        ASSERT_TRUE(thread.start());
        switch (round % 3) {
            case 0:  // ended while idle
                break;
            case 1:  // ended after a record
                thread.postStart();
                ++expected;
                ASSERT_TRUE(window.waitFor(expected));
                break;
            case 2:  // ended while a capture may be under way
                thread.postStart();
                break;
        }
        ASSERT_TRUE(thread.end());
        ASSERT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
        expected = window.done();
    }
}

TEST(SampleThread, TheDestructorEndsARunningWorker) {
    ThreadRig rig;
    Window window;
    {
        SampleThread thread(rig.state, rig.link, window);
        ASSERT_TRUE(thread.start());
        thread.postStart();
    }
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
}

TEST(SampleThread, DecodingReadsTheHandedOverRecord) {
    ThreadRig rig;
    Window window;
    SampleThread thread(rig.state, rig.link, window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    ASSERT_TRUE(window.waitFor(1));
    PlotData plot;
    DecodeSamples(rig.state, plot, 1);
    EXPECT_TRUE(thread.end());
    // Channel 1 is the command: +-256 raw, that is +-2 A.
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(plot.trace1[i] == 2.0f || plot.trace1[i] == -2.0f) << i;
    }
    EXPECT_EQ(plot.trace1[0], -2.0f) << "sampling starts 10 ms into the second level";
}

}  // namespace
}  // namespace qx::test
