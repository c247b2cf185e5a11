// The logic of the tuning windows and the free-running capture window (their exchanges
// are the transcripts'): the gains read, the timer's change test, records following one
// another, failures, per-type settings, decoding with the request a record was captured
// with, and closing.

#include <gtest/gtest.h>
#include <pthread.h>

#include <optional>
#include <thread>

#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;
using Box = RecordingMessageSink::Box;
using K = CaptureKind;

TEST(LoopTuner, OpeningReadsTheDrivesGainsAndCapturesWhenOneChangesUntilClosed) {
    CaptureRig rig;
    const LoopGains held{{120, 60, 450, 400}, 4};  // not the window's defaults
    for (int k = 0; k < 4; ++k) {
        rig.drive->write(GainAddress(K::Speed) + k, static_cast<uint16_t>(held.words[k]));
    }
    rig.state.speedCaptureSettings.sampleCount = 64;
    RecordingMessageSink main;
    LoopTuner tuner(rig.state, rig.link, K::Speed, rig.messages, main, rig.window);
    ASSERT_TRUE(tuner.open());
    EXPECT_EQ(std::tuple(tuner.gainsRead(), tuner.values(), SharedGains(rig.state, K::Speed),
                         rig.state.link.driveConnected.load()),
              std::tuple(true, held, held, 1u));
    // The first tick finds the gains changed from the zero copy and asks for a capture.
    EXPECT_TRUE(tuner.timerTick());
    EXPECT_FALSE(tuner.timerTick());
    ASSERT_TRUE(rig.window.waitFor(1));
    PlotData plot;
    EXPECT_EQ(tuner.dataValid(), 0);
    tuner.sampleDone(plot);
    EXPECT_EQ(tuner.dataValid(), 1);
    ASSERT_TRUE(rig.window.waitFor(2)) << "the next capture follows at once";
    tuner.sampleDone(plot, false);
    EXPECT_FALSE(tuner.timerTick() || rig.window.waitFor(3, 20ms)) << "none asked for";
    rig.state.loopCaptureRun.sampleCount = 128;  // as another set-up would leave it
    EXPECT_EQ(tuner.plotInput().count, 64) << "drawn as captured";
    tuner.captureNext();
    ASSERT_TRUE(rig.window.waitFor(3)) << "the next one asked for";
    // A changed gain asks again, and the capture writes it.
    LoopGains changed = held;
    changed.words[1] += 7;
    StoreGains(rig.state, K::Speed, changed);
    EXPECT_TRUE(tuner.timerTick());
    EXPECT_EQ(tuner.dataValid(), 0);
    ASSERT_TRUE(rig.window.waitFor(4));
    tuner.close("unwritten");  // the window's gains go out with one more capture
    EXPECT_EQ(std::tuple(tuner.capturing(), rig.state.workerSync.sampleThreadEnded.load(),
                         rig.drive->read(GainAddress(K::Speed) + 1)),
              std::tuple(false, 1u, 67));
    EXPECT_TRUE(main.boxes().empty() && rig.messages.boxes().empty());
}

TEST(LoopTuner, WithoutADriveOrAfterAFailedGainReadOrSetUpNothingIsWritten) {
    const struct {
        K kind;
        int sub;  // the request left unanswered; 0: no drive, the window's defaults shown
        bool gainsRead;
        uint32_t connected;
        std::optional<LoopGains> shown;
    } cases[] = {{K::Position, 0x0091, false, 1, {}},  // the set-up still went through
                 {K::Current, 0x0091, false, 1, {}},
                 {K::Speed, 0x0010, true, 0, {}},  // the drive would refuse every step test
                 {K::Current, 0, false, 0, LoopGains{{0, 0, 0, 2000}, 4}},
                 {K::Speed, 0, false, 0, LoopGains{{100, 50, 500, 500}, 4}},
                 {K::Position, 0, false, 0, LoopGains{{400, 0, 100, 0}, 3}}};
    const std::vector<Box> failed{{"Communication with Servo Fails!", "Warning"}};
    for (const auto& c : cases) {
        CaptureRig rig(c.sub != 0);
        rig.drive->addFault({sim::Fault::Silence, 0xC1, c.sub, -1, 0, -1});
        RecordingMessageSink main;
        LoopTuner tuner(rig.state, rig.link, c.kind, rig.messages, main, rig.window);
        const uint32_t before = rig.clock.tickMs();
        EXPECT_FALSE(tuner.open());
        const bool unread = c.sub != 0 && !c.gainsRead;
        EXPECT_EQ(rig.clock.tickMs() - before >= kReadGainsLimitMs, unread);
        EXPECT_EQ(std::tuple(tuner.gainsRead(), tuner.captureState().gainsUnread,
                             rig.state.link.driveConnected.load(),
                             rig.state.loopCaptureRun.tuningActive.load()),
                  std::tuple(c.gainsRead, unread, c.connected, 1u));
        EXPECT_EQ(rig.messages.boxes(), c.sub != 0 ? failed : std::vector<Box>{});
        EXPECT_FALSE(tuner.capturing() || tuner.timerTick());
        EXPECT_TRUE(!c.shown || tuner.values() == *c.shown);
        tuner.close();
        EXPECT_TRUE(main.boxes().empty());
        if (c.sub == 0) {
            EXPECT_TRUE(rig.drive->requestLog().empty());
            continue;
        }
        for (const Request& r : Exchanges(*rig.drive)) {
            EXPECT_TRUE(r.sub() != 0x0012 && r.sub() != 0x0015) << "no step test, no gains";
        }
        EXPECT_EQ(Exchanges(*rig.drive).back().sub(), c.connected ? 0x0011 : c.sub);
        // Once the line is quiet again, the next opening works.
        rig.drive->clearFaults();
        rig.state.link.driveConnected = 1;
        LoopTuner again(rig.state, rig.link, c.kind, rig.messages, main, rig.window);
        EXPECT_TRUE(again.open() && again.timerTick() && rig.window.waitFor(1));
    }
}

struct MonitorRig : CaptureRig {
    MonitorRig() : monitor(state, link, messages, window) {
        state.link.driveConnected = 1;
        FreeJob(1100, 0, 0, 0);
    }
    ~MonitorRig() { monitor.close(); }
    FreeRunMonitor monitor;
    PlotData plot;
};

TEST(FreeRunMonitor, OpensInAutoRunAndCapturesOnTheFirstTickOnly) {
    MonitorRig rig;
    rig.state.loopCaptureRun.tuningActive = 1;
    rig.state.freeRunSettings.sampleCount[FreeRunSettings::kCurrent] = 256;
    ASSERT_TRUE(rig.monitor.open());
    const FreeRunView& v = rig.monitor.view();
    EXPECT_EQ(std::tuple(v.kind, v.autoRun, v.sampleCount, v.sampleRateHz, v.sampleDivider),
              std::tuple(K::Current, 1, 256, 4000, 1));
    const FreeRunRequest& asked = rig.state.freeRunRequest;
    EXPECT_EQ(std::tuple(rig.state.loopCaptureRun.tuningActive.load(), asked.sampleCount,
                         asked.triggerMode, rig.monitor.triggerControlsEnabled()),
              std::tuple(0u, 256, kTriggerAutoRun, false));
    EXPECT_EQ(v.caption, "Horizontal Unit: ms       Vertical Unit: A");
    EXPECT_FALSE(rig.monitor.refresh()) << "auto run needs no Refresh";
    ASSERT_TRUE(rig.monitor.timerTick(rig.plot)) << "the first tick starts capturing";
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "nothing changed";
    ASSERT_TRUE(rig.window.waitFor(1));
    rig.monitor.sampleDone(rig.plot);
    EXPECT_EQ(rig.monitor.dataValid(), 1);
    ASSERT_TRUE(rig.window.waitFor(2)) << "auto run asks for the next record at once";
    rig.monitor.editSampleRate(2000);
    EXPECT_TRUE(rig.monitor.timerTick(rig.plot)) << "a changed rate asks again";
    EXPECT_EQ(*std::max_element(rig.plot.trace1.begin(), rig.plot.trace1.end()), 0.0f)
        << "the record shown is cleared";
    EXPECT_EQ(rig.monitor.dataValid(), 0);
    // Without a drive nothing is captured.
    MonitorRig away;
    away.state.link.driveConnected = 0;
    away.drive->clearRequestLog();
    EXPECT_FALSE(away.monitor.open() || away.monitor.capturing() ||
                 away.monitor.timerTick(away.plot));
    away.monitor.chooseAutoRun(false);
    EXPECT_FALSE(away.monitor.refresh());
    EXPECT_TRUE(away.drive->requestLog().empty());
}

// No thread can get a stack that large, so the system refuses each window its worker: the
// window says so and keeps none. (Sanitizers give threads their own attributes: skipped.)
TEST(SampleWorker, OneTheSystemRefusesIsReportedAndNotKept) {
    pthread_attr_t old, huge;
    pthread_getattr_default_np(&old);
    pthread_getattr_default_np(&huge);
    pthread_attr_setstacksize(&huge, std::size_t{1} << 48);
    pthread_setattr_default_np(&huge);
    pthread_t probe{};
    const bool refused =
        pthread_create(&probe, nullptr, [](void*) -> void* { return {}; }, {}) != 0;
    MonitorRig rig;
    const bool opened = rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    LoopTuner tuner(rig.state, rig.link, K::Speed, rig.messages, rig.messages, rig.window);
    const std::tuple seen{opened, rig.monitor.captureState().worker, rig.monitor.refresh(),
                          tuner.open(), rig.messages.texts()};  // in this order
    pthread_setattr_default_np(&old);
    pthread_attr_destroy(&old);
    pthread_attr_destroy(&huge);
    if (!refused || pthread_join(probe, nullptr) == 0) {
        GTEST_SKIP() << "threads here do not take the default stack size";
    }
    const std::string refusal = "Create Sample Thread Fails!";
    EXPECT_EQ(seen, std::tuple(true, false, false, false, std::vector{refusal, refusal}));
}

TEST(FreeRunMonitor, EachTypeKeepsItsOwnSettingsAndTheArrowsStopAtTheirLimits) {
    MonitorRig rig;
    FreeRunMonitor& m = rig.monitor;
    const FreeRunView& v = m.view();
    const FreeRunSettings& s = rig.state.freeRunSettings;
    using Shown = std::tuple<int, int, int>;  // count, rate, divider
    const auto shown = [&] { return Shown{v.sampleCount, v.sampleRateHz, v.sampleDivider}; };
    m.open();
    m.editSampleCount(1024);
    m.editSampleRate(300);
    m.chooseType(K::Position);
    EXPECT_EQ(shown(), (Shown{512, 200, 20}));
    EXPECT_EQ(v.unit + v.caption, "pulseHorizontal Unit: ms           Vertical Unit: Pulse");
    m.chooseType(K::Speed);
    m.editTriggerValue(7000);
    EXPECT_EQ(shown(), (Shown{512, 1000, 4}));
    EXPECT_EQ(v.caption, "Horizontal Unit: ms          Vertical Unit: RPM");
    m.chooseType(K::Current);
    m.editSampleRate(0);  // ignored
    EXPECT_EQ(shown(), (Shown{1024, 307, 13}));
    m.spinSampleRate(500);
    m.spinSampleCount(-1);
    EXPECT_EQ(shown(), (Shown{1024, 20, 200}));
    EXPECT_EQ(std::pair(s.sampleRateHz[FreeRunSettings::kCurrent],
                        s.triggerValue[FreeRunSettings::kSpeed]),
              std::pair(20, 6000.0));
    m.spinTriggerValue(-1);
    m.spinWaveOffset(-1);
    EXPECT_EQ(std::pair(static_cast<float>(v.triggerValue), v.waveOffset), std::pair(0.01f, 0.01f));
    m.spinWaveOffset(5);
    EXPECT_FLOAT_EQ(s.waveOffset[FreeRunSettings::kCurrent], 0.0f);
    m.chooseAutoRun(false);
    m.chooseEdge(kTriggerFalling);
    m.chooseType(K::Speed);
    EXPECT_EQ(v.autoRun, 1);
    m.chooseType(K::Current);
    EXPECT_EQ(std::tuple(v.autoRun, v.edge, s.triggerEdge[FreeRunSettings::kCurrent]),
              std::tuple(0, kTriggerFalling, kTriggerFalling));
}

TEST(FreeRunMonitor, RefreshArmsOneCaptureDecodedWithTheRequestItWasCapturedWith) {
    MonitorRig rig;
    rig.monitor.open();
    rig.monitor.chooseAutoRun(false);
    EXPECT_TRUE(rig.monitor.triggerControlsEnabled());
    rig.monitor.editTriggerValue(-1.5);
    rig.monitor.editWaveOffset(0.25);
    rig.monitor.editSampleCount(512);
    rig.monitor.chooseEdge(kTriggerFalling);
    EXPECT_FALSE(rig.monitor.timerTick(rig.plot)) << "single trigger waits for Refresh";
    EXPECT_NE(rig.state.freeRunRequest.preTriggerFraction, 0.25f) << "only Refresh takes it";
    ASSERT_TRUE(rig.monitor.refresh());
    EXPECT_EQ(rig.state.freeRunRequest.preTriggerFraction, 0.25f);
    ASSERT_TRUE(rig.window.waitFor(1));
    const CaptureState armed = rig.monitor.captureState();
    EXPECT_TRUE(armed.armed && armed.worker && armed.level == -1.5 && armed.edge == 1);
    // The type changes while the record is on its way to the window.
    rig.monitor.chooseType(K::Position);
    rig.monitor.chooseAutoRun(false);
    rig.monitor.timerTick(rig.plot);
    ASSERT_EQ(rig.state.freeRunRequest.monitorType, 2);
    rig.plot.trace1.fill(-7.0f);
    rig.monitor.sampleDone(rig.plot);
    // The trigger sits at ring word 1100; 128 points (256 words) before it start at 2892.
    EXPECT_EQ(std::tuple(rig.plot.trace1[0], rig.plot.trace1[511], rig.plot.trace1[512]),
              std::tuple((2892 - 1024) / 128.0f, (2892 - 1024 + 1022 - 2048) / 128.0f, -7.0f))
        << "a current record, only the captured count";
    EXPECT_FALSE(rig.window.waitFor(2, 50ms)) << "one record per Refresh";
    rig.monitor.close();
    EXPECT_FALSE(rig.monitor.captureState().worker);
}

}  // namespace
}  // namespace qx::test
