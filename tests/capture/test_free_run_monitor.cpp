// The free-running capture window's logic (its exchanges are the transcripts'): the
// edits' snapping, truncation and limits, the per-type memory of settings, the timer's
// change test, decoding a record with the request it was captured with, closing while
// armed.

#include <gtest/gtest.h>

#include <thread>

#include "capture/FreeRunEdits.h"
#include "capture/FreeRunMonitor.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;
using K = CaptureKind;

TEST(FreeRunEdits, OffsetsRatesLevelsAndCounts) {
    // 0.29 x 100 falls just below 29 in double precision.
    for (auto [typed, offset] : {std::pair{0.257, 0.25f},
                                 {1.5, 1.0f},
                                 {-0.2, 0.0f},
                                 {0.29, 0.28f},
                                 {NAN, 0.0f},
                                 {INFINITY, 0.0f}}) {
        EXPECT_FLOAT_EQ(TruncateWaveOffset(typed), offset) << typed;
    }
    const struct {
        int32_t base;
        int64_t typed, rate, divider;
    } rates[] = {{4000, 3000, 4000, 1}, {4000, 300, 307, 13}, {4000, 9000, 4000, 1},
                 {4000, 1, 1, 4000},    {0, 1000, 1000, 4},   {2000, 1000, 1000, 2}};
    for (const auto& r : rates) {
        EXPECT_EQ(SnapSampleRate(r.base, r.typed).rateHz, r.rate) << r.typed;
        EXPECT_EQ(SnapSampleRate(r.base, r.typed).divider, r.divider) << r.typed;
    }
    EXPECT_EQ(RateOfDivider(4000, 0).divider, 1);
    const struct {
        K kind;
        double typed, limited;
        int32_t raw;
    } levels[] = {{K::Speed, 7000.0, 6000.0, 24000},
                  {K::Speed, -7000.0, -6000.0, -24000},
                  {K::Speed, -12.9, -12.0, -48},
                  {K::Current, -1.5, -1.5, -192},
                  {K::Current, 250.0, 100.0, 12800},
                  {K::Current, -250.0, -100.0, -12800},
                  {K::Position, 123456.7, 123456.0, 123456},
                  {K::Position, NAN, 0.0, 0},
                  {K::Position, 1e12, 2147483647.0, 2147483647},
                  {K::Position, -1e12, -2147483648.0, -2147483647 - 1}};
    for (const auto& l : levels) {
        EXPECT_EQ(LimitTriggerValue(l.kind, l.typed), l.limited) << l.typed;
        EXPECT_EQ(TriggerLevelRaw(l.kind, l.typed), l.raw) << l.typed;
    }
    EXPECT_EQ(LimitSampleCount(K::Position, 1000), 512);
    EXPECT_EQ(LimitSampleCount(K::Position, 512), 512);
    EXPECT_EQ(LimitSampleCount(K::Current, 0), 1);
    EXPECT_EQ(LimitSampleCount(K::Speed, 5000), 1024);
    EXPECT_EQ(LimitSampleCount(K::Speed, 1024), 1024);
}

struct MonitorRig : CaptureRig {
    MonitorRig() : monitor(state, link, messages, window) {
        ApplyStartupValues(state);
        state.link.driveConnected = 1;
        drive->setSubCommandHandler(0x0013,
                                    [this](sim::SimDrive&, std::span<const uint8_t>, uint64_t) {
                                        ++starts;
                                        return sim::Answer::Ok();
                                    });
        drive->write(drive_address::kTriggerPosition, 1100);
        for (int w = 0; w < 2048; ++w) {
            drive->write(1024 + w, static_cast<uint16_t>(w));
        }
    }
    ~MonitorRig() { monitor.close(); }

    Window window;
    FreeRunMonitor monitor;
    PlotData plot;
    std::atomic<int> starts{0};
};

TEST(FreeRunMonitor, OpensInAutoRunAndCapturesOnTheFirstTickOnly) {
    MonitorRig rig;
    rig.state.loopCaptureRun.tuningActive = 1;
    rig.state.freeRunSettings.sampleCount[FreeRunSettings::kCurrent] = 256;
    ASSERT_TRUE(rig.monitor.open());
    const FreeRunView& v = rig.monitor.view();
    EXPECT_EQ(rig.state.loopCaptureRun.tuningActive.load(), 0);
    EXPECT_EQ(v.kind, K::Current);
    EXPECT_EQ(v.autoRun, 1);
    EXPECT_EQ(v.sampleCount, 256);
    EXPECT_EQ(rig.state.freeRunRequest.sampleCount, 256);
    EXPECT_EQ(v.sampleRateHz, 4000);
    EXPECT_EQ(v.sampleDivider, 1);
    EXPECT_EQ(v.caption, "Horizontal Unit: ms       Vertical Unit: A");
    EXPECT_FALSE(rig.monitor.triggerControlsEnabled());
    EXPECT_EQ(rig.state.freeRunRequest.triggerMode, kTriggerAutoRun);
    ASSERT_TRUE(rig.monitor.timerTick(rig.plot)) << "the first tick starts capturing";
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "nothing changed";
    ASSERT_TRUE(rig.window.waitFor(1));
    rig.monitor.sampleDone(rig.plot);
    EXPECT_EQ(rig.monitor.dataValid(), 1);
    ASSERT_TRUE(rig.window.waitFor(2)) << "auto run asks for the next record at once";
    rig.monitor.editSampleRate(2000);
    EXPECT_TRUE(rig.monitor.timerTick(rig.plot)) << "a changed rate asks again";
    EXPECT_EQ(rig.monitor.dataValid(), 0);
}

TEST(FreeRunMonitor, EachTypeKeepsItsOwnSettingsAndTheArrowsStepThem) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.editSampleCount(1024);
    rig.monitor.chooseType(K::Position);
    EXPECT_EQ(rig.state.freeRunSettings.monitorType, 2);
    EXPECT_EQ(rig.state.freeRunSettings.sampleCount[FreeRunSettings::kCurrent], 1024);
    const FreeRunView& v = rig.monitor.view();
    EXPECT_EQ(v.sampleCount, 512);
    EXPECT_EQ(v.sampleRateHz, 200);
    EXPECT_EQ(v.sampleDivider, 20);
    EXPECT_EQ(v.unit, "pulse");
    EXPECT_EQ(v.caption, "Horizontal Unit: ms           Vertical Unit: Pulse");
    rig.monitor.chooseType(K::Speed);
    EXPECT_EQ(v.caption, "Horizontal Unit: ms          Vertical Unit: RPM");
    rig.monitor.editTriggerValue(7000);
    rig.monitor.chooseType(K::Current);
    EXPECT_EQ(v.sampleCount, 1024);
    EXPECT_EQ(rig.state.freeRunSettings.triggerValue[FreeRunSettings::kSpeed], 6000.0);

    rig.monitor.editSampleRate(300);
    rig.monitor.editSampleRate(0);  // ignored
    EXPECT_EQ(v.sampleRateHz, 307);
    rig.monitor.spinSampleRate(-1);
    EXPECT_EQ(v.sampleDivider, 12);
    EXPECT_EQ(v.sampleRateHz, 333);
    EXPECT_EQ(rig.state.freeRunSettings.sampleRateHz[FreeRunSettings::kCurrent], 333);
    rig.monitor.spinSampleRate(500);
    EXPECT_EQ(v.sampleDivider, 200);
    EXPECT_EQ(v.sampleRateHz, 20);
    rig.monitor.spinSampleCount(-1);
    EXPECT_EQ(v.sampleCount, 1024);
    rig.monitor.spinSampleCount(1);
    EXPECT_EQ(v.sampleCount, 1023);
    rig.monitor.spinTriggerValue(-1);
    EXPECT_NEAR(v.triggerValue, 0.01, 1e-6);
    rig.monitor.spinWaveOffset(-1);
    EXPECT_FLOAT_EQ(v.waveOffset, 0.01f);
    rig.monitor.spinWaveOffset(5);
    EXPECT_FLOAT_EQ(rig.state.freeRunSettings.waveOffset[FreeRunSettings::kCurrent], 0.0f);
    rig.monitor.chooseAutoRun(false);
    rig.monitor.chooseEdge(kTriggerFalling);
    rig.monitor.chooseType(K::Speed);
    EXPECT_EQ(v.autoRun, 1);
    rig.monitor.chooseType(K::Current);
    EXPECT_EQ(v.autoRun, 0);
    EXPECT_EQ(v.edge, kTriggerFalling);
    EXPECT_EQ(rig.state.freeRunSettings.triggerEdge[FreeRunSettings::kCurrent], kTriggerFalling);
}

TEST(FreeRunMonitor, WithoutADriveNothingIsCaptured) {
    MonitorRig rig;
    rig.state.link.driveConnected = 0;
    EXPECT_FALSE(rig.monitor.open());
    EXPECT_FALSE(rig.monitor.capturing());
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot));
    rig.monitor.chooseAutoRun(false);
    EXPECT_FALSE(rig.monitor.refresh());
    EXPECT_TRUE(rig.drive->requestLog().empty());
}

TEST(FreeRunMonitor, RefreshArmsOneCaptureDecodedWithTheRequestItWasCapturedWith) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    EXPECT_TRUE(rig.monitor.triggerControlsEnabled());
    rig.monitor.editTriggerValue(-1.5);
    rig.monitor.editWaveOffset(0.25);
    rig.monitor.editSampleCount(512);
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "single trigger waits for Refresh";
    EXPECT_EQ(rig.state.freeRunRequest.triggerLevelRaw, -192);
    EXPECT_NE(rig.state.freeRunRequest.preTriggerFraction, 0.25f) << "only Refresh takes it";
    ASSERT_TRUE(rig.monitor.refresh());
    EXPECT_EQ(rig.state.freeRunRequest.preTriggerFraction, 0.25f);
    ASSERT_TRUE(rig.window.waitFor(1));
    const CaptureState armed = rig.monitor.captureState();
    EXPECT_TRUE(armed.armed);
    EXPECT_EQ(armed.level, -1.5);
    // The type changes while the record is on its way to the window.
    rig.monitor.chooseType(K::Position);
    rig.monitor.chooseAutoRun(false);
    rig.monitor.timerTick(rig.plot);
    ASSERT_EQ(rig.state.freeRunRequest.monitorType, 2);
    rig.plot.trace1.fill(-7.0f);
    rig.monitor.sampleDone(rig.plot);
    // The trigger sits at ring word 1100; 128 points (256 words) before it start at 2892.
    EXPECT_FLOAT_EQ(rig.plot.trace1[0], (2892 - 1024) / 128.0f) << "a current record";
    EXPECT_EQ(rig.plot.trace1[511], (2892 - 1024 + 1022 - 2048) / 128.0f);
    EXPECT_EQ(rig.plot.trace1[512], -7.0f) << "only the captured count";
    EXPECT_FALSE(rig.window.waitFor(2, 50ms)) << "one record per Refresh";
}

TEST(FreeRunMonitor, QuitWhileArmedEndsTheWorkerBetweenTwoPolls) {
    MonitorRig rig;
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    ASSERT_TRUE(rig.monitor.refresh());
    for (int i = 0; i < 2000 && rig.starts == 0; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_GT(rig.starts, 0);
    rig.monitor.close();
    EXPECT_FALSE(rig.monitor.capturing());
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1);
    EXPECT_EQ(rig.window.done(), 0);
}

}  // namespace
}  // namespace qx::test
