// The capture worker: its queue, the hand-over of records to the window, the trigger a
// record knows, and the way it ends, started and ended many times.

#include <gtest/gtest.h>

#include <atomic>

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
    Window window;
};

TEST(SampleThread, AnIdleWorkerSendsNothingAndEndsOnQuitOrWithItsOwner) {
    ThreadRig rig;
    {
        SampleThread thread(rig.state, rig.link, rig.window);
        rig.state.workerSync.sampleThreadEnded = 1;  // left over from an earlier worker
        ASSERT_TRUE(thread.start());
        EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 0u)
            << "cleared before the worker runs, so an immediate quit cannot be missed";
        EXPECT_TRUE(thread.start()) << "already running";
        thread.postMessage(0x0401);  // not one of its messages: discarded
        EXPECT_TRUE(thread.end());
        EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
        EXPECT_FALSE(thread.started());
        EXPECT_TRUE(thread.end()) << "nothing left to end";
        ASSERT_TRUE(thread.start());
        thread.postMessage(WM_SAMPLE_START);
        ASSERT_TRUE(rig.window.waitFor(1));
        thread.postStart();
    }
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u) << "the destructor ended it";
}

TEST(SampleThread, EachStartBringsOneRecordIntoTheSampleBuffer) {
    ThreadRig rig;
    SampleThread thread(rig.state, rig.link, rig.window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    ASSERT_TRUE(rig.window.waitFor(1));
    {
        std::lock_guard<std::mutex> lock(rig.state.sampleBufferMutex);
        for (int w = 0; w < 512; ++w) {
            const uint16_t v = rig.drive->read(1024 + w);
            ASSERT_EQ(rig.state.sampleBuffer[2 * w] << 8 | rig.state.sampleBuffer[2 * w + 1], v);
        }
    }
    PlotData plot;
    const RecordShape shape = thread.decodeRecord(plot);
    EXPECT_EQ(shape.count, 256);
    EXPECT_EQ(shape.triggerIndex, -1) << "a tuning record has no trigger";
    // Channel 1 is the command: +-256 raw, that is +-2 A.
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(plot.trace1[i] == 2.0f || plot.trace1[i] == -2.0f) << i;
    }
    EXPECT_EQ(plot.trace1[0], -2.0f) << "sampling starts 10 ms into the second level";
    thread.postStart();
    ASSERT_TRUE(rig.window.waitFor(2));
    EXPECT_TRUE(thread.end());
    EXPECT_EQ(thread.recordsDone(), 2u);
}

TEST(SampleThread, ATriggeredRecordKnowsWhereItsTriggerIs) {
    ThreadRig rig;
    rig.drive->setSubCommandHandler(0x0013, [](sim::SimDrive&, std::span<const uint8_t>, uint64_t) {
        return sim::Answer::Ok();
    });
    rig.state.loopCaptureRun.tuningActive = 0;
    rig.state.freeRunRequest = {};
    rig.state.freeRunRequest.monitorType = 1;
    rig.state.freeRunRequest.sampleCount = 100;
    rig.state.freeRunRequest.sampleDivider = 3;
    rig.state.freeRunRequest.triggerMode = kTriggerFalling;
    rig.state.freeRunRequest.preTriggerFraction = 0.25f;
    SampleThread thread(rig.state, rig.link, rig.window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    ASSERT_TRUE(rig.window.waitFor(1));
    const RecordShape shape = thread.recordShape();
    EXPECT_EQ(shape.kind, CaptureKind::Speed);
    EXPECT_EQ(shape.count, 100);
    EXPECT_EQ(shape.divider, 3);
    EXPECT_EQ(shape.triggerIndex, 25);
}

TEST(SampleThread, QuitDuringACaptureEndsTheWorkerBetweenTwoStepsAndInTime) {
    ThreadRig rig;
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    for (int round = 0; round < 30; ++round) {
        SampleThread thread(rig.state, rig.link, rig.window);
        ASSERT_TRUE(thread.start());
        if (round % 2 == 1) {  // else ended while idle
            const uint64_t sent = rig.drive->requestCount();
            thread.postStart();
            while (rig.drive->requestCount() < sent + 5) {
                std::this_thread::sleep_for(1ms);
            }
        }
        ASSERT_TRUE(thread.end());
        ASSERT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
        const uint64_t after = rig.drive->requestCount();
        std::this_thread::sleep_for(2ms);
        EXPECT_EQ(rig.drive->requestCount(), after) << "nothing is sent once the worker ended";
    }
    EXPECT_EQ(rig.window.done(), 0);

    // A worker busy with one exchange is waited for no longer than the bound.
    std::mutex held;
    std::unique_lock<std::mutex> hold(held);
    std::atomic<bool> polling{false};
    rig.drive->setPollHandler([&](sim::SimDrive&, uint64_t) {
        polling = true;
        std::lock_guard<std::mutex> wait(held);
        return sim::Answer::NotAcknowledged();
    });
    SampleThread thread(rig.state, rig.link, rig.window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    while (!polling) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(thread.end(20ms));
    hold.unlock();
    EXPECT_TRUE(thread.end());
}

}  // namespace
}  // namespace qx::test
