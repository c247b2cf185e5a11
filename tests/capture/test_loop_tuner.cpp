// A tuning window's drive side: opening with and without a drive, the timer that asks
// for a capture when a gain changed, records following one another, and closing.

#include <gtest/gtest.h>

#include "capture/LoopTuner.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Box = RecordingMessageSink::Box;

TEST(LoopTuner, WithoutADriveItShowsDefaultsAndNeverTalksToIt) {
    for (CaptureKind kind : {CaptureKind::Current, CaptureKind::Speed, CaptureKind::Position}) {
        CaptureRig rig;
        rig.state.link.driveConnected = 0;
        Window window;
        RecordingMessageSink main;
        {
            LoopTuner tuner(rig.state, rig.link, kind, rig.messages, main, window);
            EXPECT_FALSE(tuner.open());
            EXPECT_EQ(tuner.values(), DefaultGains(kind));
            EXPECT_FALSE(tuner.timerTick());
            tuner.close();
        }
        EXPECT_EQ(rig.state.loopCaptureRun.tuningActive.load(), 1u);
        EXPECT_TRUE(rig.drive->requestLog().empty());
        EXPECT_TRUE(rig.messages.boxes().empty());
        EXPECT_TRUE(main.boxes().empty());
    }
    EXPECT_EQ(DefaultGains(CaptureKind::Position), (LoopGains{{400, 0, 100, 0}, 3}));
    EXPECT_EQ(DefaultGains(CaptureKind::Speed), (LoopGains{{100, 50, 500, 500}, 4}));
    EXPECT_EQ(DefaultGains(CaptureKind::Current).words[3], 2000);
}

TEST(LoopTuner, OpeningReadsTheGainsSetsUpAndCapturesUntilClosed) {
    CaptureRig rig;
    rig.state.currentCaptureSettings.sampleCount = 128;
    Window window;
    RecordingMessageSink main;
    LoopTuner tuner(rig.state, rig.link, CaptureKind::Current, rig.messages, main, window);
    ASSERT_TRUE(tuner.open());
    EXPECT_TRUE(tuner.gainsRead());
    const sim::LoopGainWords good;
    EXPECT_EQ(tuner.values(), (LoopGains{{good.lsRaw, good.rsRaw, good.keRaw, good.ki}, 4}));
    EXPECT_EQ(rig.state.currentLoopModel.lsRaw, good.lsRaw);
    EXPECT_EQ(rig.state.currentLoopModel.word0215, good.ki);

    std::vector<Request> x = Requests(*rig.drive);
    ASSERT_EQ(x.size(), 6u);
    EXPECT_EQ(x[2].selector, 1);
    EXPECT_EQ(x[2].payload, (Bytes{0x00, 0x91, 0x02, 0x12, 0x00, 0x04}));
    EXPECT_EQ(x[5].sub(), 0x0010);
    EXPECT_EQ(x[5].selector, 1);

    // The first tick finds the gains changed from the zero copy and asks for a capture.
    EXPECT_TRUE(tuner.timerTick());
    EXPECT_EQ(tuner.dataValid(), 0);
    EXPECT_FALSE(tuner.timerTick());
    ASSERT_TRUE(window.waitFor(1));
    PlotData plot;
    tuner.sampleDone(plot);
    EXPECT_EQ(tuner.dataValid(), 1);
    EXPECT_EQ(plot.trace1[0], -1.0f) << "the default current test, sampled in its low level";
    ASSERT_TRUE(window.waitFor(2)) << "the next capture follows at once";
    tuner.sampleDone(plot, false);
    EXPECT_FALSE(tuner.timerTick());

    // A changed gain asks again.
    rig.state.currentLoopModel.word0215 = 1000;
    EXPECT_TRUE(tuner.timerTick());
    EXPECT_EQ(tuner.dataValid(), 0);
    ASSERT_TRUE(window.waitFor(3));

    tuner.close();
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
    x = Requests(*rig.drive);
    EXPECT_EQ(x.back().payload, (Bytes{0x00, 0x11, 0x00, 0x50})) << "servo off comes last";
    EXPECT_TRUE(main.boxes().empty());
    const std::size_t after = rig.drive->requestLog().size();
    tuner.close();
    EXPECT_EQ(rig.drive->requestLog().size(), after);
}

TEST(LoopTuner, ASpeedWindowStoresItsGainsAndWritesThemWithEachCapture) {
    CaptureRig rig;
    rig.state.speedCaptureSettings.sampleCount = 64;
    rig.state.link.driveConnected = 1;
    Window window;
    LoopTuner tuner(rig.state, rig.link, CaptureKind::Speed, rig.messages, rig.messages, window);
    ASSERT_TRUE(tuner.open());
    EXPECT_EQ(SharedGains(rig.state, CaptureKind::Speed), (LoopGains{{100, 50, 500, 500}, 4}));
    rig.state.speedLoopGains.kp = 250;
    tuner.timerTick();
    ASSERT_TRUE(window.waitFor(1));
    tuner.close();
    bool written = false;
    for (const Request& r : Requests(*rig.drive)) {
        if (r.sub() == 0x0015) {
            EXPECT_EQ(r.word(2), 0x025D);
            EXPECT_EQ(r.word(6), 250);
            written = true;
        }
    }
    EXPECT_TRUE(written);
}

TEST(LoopTuner, AFailedGainReadIsReportedAndNothingIsWrittenToTheDrive) {
    CaptureRig rig;
    rig.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, -1, 0, -1});
    Window window;
    RecordingMessageSink main;
    LoopTuner tuner(rig.state, rig.link, CaptureKind::Position, rig.messages, main, window);
    const uint32_t before = rig.clock.tickMs();
    EXPECT_FALSE(tuner.open());
    EXPECT_GE(rig.clock.tickMs() - before, kReadGainsLimitMs);
    EXPECT_EQ(rig.messages.boxes(),
              (std::vector<Box>{{"Communication with Servo Fails!", "Warning"}}));
    EXPECT_FALSE(tuner.capturing());
    EXPECT_EQ(rig.state.link.driveConnected.load(), 1u) << "the set-up still went through";
    EXPECT_FALSE(tuner.timerTick());
    tuner.close();
    for (const Request& r : Requests(*rig.drive)) {
        EXPECT_NE(r.sub(), 0x0015) << "gains never read are never written";
    }
    EXPECT_EQ(Requests(*rig.drive).back().payload, (Bytes{0x00, 0x11, 0x00, 0x50}));
}

TEST(LoopTuner, AFailedCaptureSetUpIsReportedAndNoWorkerStarts) {
    // The set-up request goes unanswered (the gain read before it succeeds): the drive
    // would refuse every step test, so no capture can ever complete.
    CaptureRig rig;
    rig.drive->addFault({sim::Fault::Silence, 0xC1, 0x0010, -1, 0, -1});
    Window window;
    RecordingMessageSink main;
    LoopTuner tuner(rig.state, rig.link, CaptureKind::Speed, rig.messages, main, window);
    EXPECT_FALSE(tuner.open());
    EXPECT_TRUE(tuner.gainsRead());
    EXPECT_EQ(rig.messages.boxes(),
              (std::vector<Box>{{"Communication with Servo Fails!", "Warning"}}));
    EXPECT_FALSE(tuner.capturing());
    EXPECT_EQ(rig.state.link.driveConnected.load(), 0u);
    EXPECT_FALSE(tuner.timerTick());
    tuner.close();
    for (const Request& r : Requests(*rig.drive)) {
        EXPECT_NE(r.sub(), 0x0012) << "no step test is asked for";
        EXPECT_NE(r.sub(), 0x0015) << "no gains are written";
    }
    EXPECT_TRUE(main.boxes().empty());

    // Once the line is quiet again, the next opening works.
    rig.drive->clearFaults();
    rig.messages.clear();
    rig.state.link.driveConnected = 1;
    LoopTuner again(rig.state, rig.link, CaptureKind::Speed, rig.messages, main, window);
    EXPECT_TRUE(again.open());
    EXPECT_TRUE(again.timerTick());
    EXPECT_TRUE(window.waitFor(1));
    again.close();
    EXPECT_TRUE(rig.messages.boxes().empty());
}

}  // namespace
}  // namespace qx::test
