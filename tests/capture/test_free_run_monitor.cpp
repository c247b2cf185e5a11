// The free-running capture window's logic: the edits' snapping, truncation and limits,
// the per-type memory of settings, the timer's change test, arming with a wave offset,
// decoding a record with the request it was captured with, and closing while armed.

#include <gtest/gtest.h>

#include <thread>

#include "capture/FreeRunEdits.h"
#include "capture/FreeRunMonitor.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

TEST(FreeRunEdits, WaveOffsetIsTruncatedToHundredthsAndHeldWithinZeroToOne) {
    EXPECT_FLOAT_EQ(TruncateWaveOffset(0.257), 0.25f);
    EXPECT_FLOAT_EQ(TruncateWaveOffset(1.5), 1.0f);
    EXPECT_FLOAT_EQ(TruncateWaveOffset(-0.2), 0.0f);
    // 0.29 x 100 falls just below 29 in double precision.
    EXPECT_FLOAT_EQ(TruncateWaveOffset(0.29), 0.28f);
}

TEST(FreeRunEdits, SampleRateSnapsToTheBaseRateOverAWholeDivider) {
    EXPECT_EQ(SnapSampleRate(4000, 3000).rateHz, 4000);
    EXPECT_EQ(SnapSampleRate(4000, 3000).divider, 1);
    EXPECT_EQ(SnapSampleRate(4000, 300).rateHz, 307);
    EXPECT_EQ(SnapSampleRate(4000, 300).divider, 13);
    EXPECT_EQ(SnapSampleRate(4000, 9000).divider, 1) << "never below 1";
    EXPECT_EQ(SnapSampleRate(0, 1000).rateHz, 1000) << "no base rate: the standard one";
    EXPECT_EQ(RateOfDivider(4000, 0).divider, 1);
}

TEST(FreeRunEdits, TriggerValuesAreLimitedPerTypeAndSentInRawUnits) {
    EXPECT_EQ(LimitTriggerValue(CaptureKind::Speed, 7000.0), 6000.0);
    EXPECT_EQ(TriggerLevelRaw(CaptureKind::Speed, 7000.0), 24000);
    EXPECT_EQ(LimitTriggerValue(CaptureKind::Speed, -12.9), -12.0);
    EXPECT_EQ(TriggerLevelRaw(CaptureKind::Current, -1.5), -192);
    EXPECT_EQ(static_cast<uint32_t>(TriggerLevelRaw(CaptureKind::Current, -1.5)), 0xFFFFFF40u);
    EXPECT_EQ(LimitTriggerValue(CaptureKind::Current, 250.0), 100.0);
    EXPECT_EQ(TriggerLevelRaw(CaptureKind::Position, 123456.7), 123456);
    EXPECT_EQ(TriggerLevelRaw(CaptureKind::Position, 1e12), 2147483647);
    EXPECT_EQ(LimitSampleCount(CaptureKind::Position, 1000), 512);
    EXPECT_EQ(LimitSampleCount(CaptureKind::Current, 0), 1);
    EXPECT_EQ(LimitSampleCount(CaptureKind::Speed, 5000), 1024);
}

struct MonitorRig : CaptureRig {
    MonitorRig() : monitor(state, link, messages, window) {
        ApplyStartupValues(state);
        state.link.driveConnected = 1;
        drive->setSubCommandHandler(0x0013,
                                    [this](sim::SimDrive&, std::span<const uint8_t> p, uint64_t) {
                                        std::lock_guard<std::mutex> lock(startMutex);
                                        starts.emplace_back(p.begin(), p.end());
                                        return sim::Answer::Ok();
                                    });
        drive->write(drive_address::kTriggerPosition, 1100);
        for (int w = 0; w < 2048; ++w) {
            drive->write(1024 + w, static_cast<uint16_t>(w));
        }
    }
    ~MonitorRig() { monitor.close(); }

    std::vector<uint8_t> lastStart() {
        std::lock_guard<std::mutex> lock(startMutex);
        return starts.empty() ? std::vector<uint8_t>{} : starts.back();
    }

    Window window;
    FreeRunMonitor monitor;
    PlotData plot;
    std::mutex startMutex;
    std::vector<std::vector<uint8_t>> starts;
};

TEST(FreeRunMonitor, OpeningWithTheDefaultsCapturesCurrentContinuouslyFromTheFirstTick) {
    MonitorRig rig;
    rig.state.loopCaptureRun.tuningActive = 1;
    ASSERT_TRUE(rig.monitor.open());
    const FreeRunView& v = rig.monitor.view();
    EXPECT_EQ(rig.state.loopCaptureRun.tuningActive.load(), 0);
    EXPECT_EQ(v.kind, CaptureKind::Current);
    EXPECT_EQ(v.autoRun, 1);
    EXPECT_EQ(v.sampleCount, 512);
    EXPECT_EQ(v.sampleRateHz, 4000);
    EXPECT_EQ(v.sampleDivider, 1);
    EXPECT_EQ(v.unit, "A");
    EXPECT_EQ(v.caption, "Horizontal Unit: ms       Vertical Unit: A");
    EXPECT_FALSE(rig.monitor.triggerControlsEnabled());
    EXPECT_EQ(rig.state.freeRunRequest.triggerMode, kTriggerAutoRun);
    EXPECT_EQ(rig.monitor.dataValid(), 0);

    ASSERT_TRUE(rig.monitor.timerTick(rig.plot)) << "the first tick starts capturing";
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "nothing changed";
    ASSERT_TRUE(rig.window.waitFor(1));
    rig.monitor.sampleDone(rig.plot);
    EXPECT_EQ(rig.monitor.dataValid(), 1);
    ASSERT_TRUE(rig.window.waitFor(2)) << "auto run asks for the next record at once";
    const std::vector<uint8_t> start = rig.lastStart();
    ASSERT_EQ(start.size(), 14u);
    EXPECT_EQ(start[9], kTriggerAutoRun);
    EXPECT_EQ(start[10] << 8 | start[11], 512);
}

TEST(FreeRunMonitor, EachTypeKeepsItsOwnSettings) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.editSampleCount(1024);
    rig.monitor.chooseType(CaptureKind::Position);
    EXPECT_EQ(rig.state.freeRunSettings.monitorType, 2);
    EXPECT_EQ(rig.state.freeRunSettings.sampleCount[FreeRunSettings::kCurrent], 1024);
    EXPECT_EQ(rig.monitor.view().sampleCount, 512);
    EXPECT_EQ(rig.monitor.view().sampleRateHz, 200);
    EXPECT_EQ(rig.monitor.view().sampleDivider, 20);
    EXPECT_EQ(rig.monitor.view().unit, "pulse");
    EXPECT_EQ(rig.monitor.view().caption, "Horizontal Unit: ms           Vertical Unit: Pulse");
    rig.monitor.editSampleCount(1000);
    EXPECT_EQ(rig.monitor.view().sampleCount, 512);
    rig.monitor.chooseType(CaptureKind::Speed);
    EXPECT_EQ(rig.monitor.view().caption, "Horizontal Unit: ms          Vertical Unit: RPM");
    rig.monitor.editTriggerValue(7000);
    rig.monitor.chooseType(CaptureKind::Current);
    EXPECT_EQ(rig.monitor.view().sampleCount, 1024);
    EXPECT_EQ(rig.state.freeRunSettings.triggerValue[FreeRunSettings::kSpeed], 6000.0);
}

TEST(FreeRunMonitor, SpinsStepTheirValuesAndTheUpArrowRaisesThem) {
    MonitorRig rig;
    rig.state.link.driveConnected = 0;
    EXPECT_FALSE(rig.monitor.open());
    EXPECT_FALSE(rig.monitor.capturing());
    rig.monitor.editSampleRate(300);
    EXPECT_EQ(rig.monitor.view().sampleRateHz, 307);
    rig.monitor.spinSampleRate(-1);
    EXPECT_EQ(rig.monitor.view().sampleDivider, 12);
    EXPECT_EQ(rig.monitor.view().sampleRateHz, 333);
    rig.monitor.spinSampleRate(500);
    EXPECT_EQ(rig.monitor.view().sampleDivider, 200);
    EXPECT_EQ(rig.monitor.view().sampleRateHz, 20);
    rig.monitor.spinSampleCount(-1);
    EXPECT_EQ(rig.monitor.view().sampleCount, 513);
    rig.monitor.spinTriggerValue(-1);
    EXPECT_NEAR(rig.monitor.view().triggerValue, 0.01, 1e-6);
    rig.monitor.spinWaveOffset(-1);
    EXPECT_FLOAT_EQ(rig.monitor.view().waveOffset, 0.01f);
    rig.monitor.spinWaveOffset(5);
    EXPECT_FLOAT_EQ(rig.monitor.view().waveOffset, 0.0f);
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "no drive, no capture";
    EXPECT_FALSE(rig.monitor.refresh());
}

TEST(FreeRunMonitor, RefreshArmsATriggeredCaptureWithTheShareBeforeTheTrigger) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    EXPECT_TRUE(rig.monitor.triggerControlsEnabled());
    rig.monitor.chooseEdge(kTriggerFalling);
    rig.monitor.editTriggerValue(-1.5);
    rig.monitor.editWaveOffset(0.25);
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "single trigger waits for Refresh";
    EXPECT_EQ(rig.state.freeRunRequest.triggerLevelRaw, -192);
    ASSERT_TRUE(rig.monitor.refresh());
    EXPECT_EQ(PostTriggerPoints(SnapshotCaptureJob(rig.state)), 384);
    ASSERT_TRUE(rig.window.waitFor(1));
    const std::vector<uint8_t> s = rig.lastStart();
    ASSERT_EQ(s.size(), 14u);
    EXPECT_EQ((std::vector<uint8_t>(s.begin() + 4, s.end())),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x40, 0x00, kTriggerFalling, 0x01, 0x80, 0x00,
                                    0x01}));
    rig.monitor.sampleDone(rig.plot);
    // The trigger sits at ring word 1100; 128 points (256 words) before it start at 2892.
    EXPECT_FLOAT_EQ(rig.plot.trace1[0], (2892 - 1024) / 128.0f);
    EXPECT_FALSE(rig.window.waitFor(2, 50ms)) << "one record per Refresh";
}

TEST(FreeRunMonitor, ARecordIsDecodedWithTheTypeAndCountItWasCapturedWith) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    rig.monitor.editSampleCount(64);
    rig.monitor.refresh();
    ASSERT_TRUE(rig.window.waitFor(1));
    // The type changes while the record is on its way to the window.
    rig.monitor.chooseType(CaptureKind::Position);
    rig.monitor.chooseAutoRun(false);
    rig.monitor.timerTick(rig.plot);
    ASSERT_EQ(rig.state.freeRunRequest.monitorType, 2);
    rig.plot.trace1.fill(-7.0f);
    rig.monitor.sampleDone(rig.plot);
    const float first = rig.plot.trace1[0];
    EXPECT_LT(first, 16.0f) << "a current record read as current";
    EXPECT_FLOAT_EQ(rig.plot.trace1[1] - first, 2.0f / 128.0f);
    EXPECT_EQ(rig.plot.trace1[64], -7.0f) << "only the captured count";
}

TEST(FreeRunMonitor, QuitWhileArmedEndsTheWorkerBetweenTwoPolls) {
    MonitorRig rig;
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    ASSERT_TRUE(rig.monitor.refresh());
    for (int i = 0; i < 2000 && rig.lastStart().empty(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(rig.lastStart().empty());
    rig.monitor.close();
    EXPECT_FALSE(rig.monitor.capturing());
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1);
    EXPECT_EQ(rig.window.done(), 0);
}

}  // namespace
}  // namespace qx::test
