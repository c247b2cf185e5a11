// A tuning window's drive side beyond the transcripts: the gains it reads (the drive
// holds others than the window's defaults), the timer that asks for a capture when a
// gain changed, records following one another, failures, and closing.

#include <gtest/gtest.h>

#include "capture/LoopTuner.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Box = RecordingMessageSink::Box;
using K = CaptureKind;

TEST(LoopTuner, WithoutADriveItShowsDefaultsAndNeverTalksToIt) {
    for (auto [kind, defaults] : {std::pair{K::Current, LoopGains{{0, 0, 0, 2000}, 4}},
                                  {K::Speed, LoopGains{{100, 50, 500, 500}, 4}},
                                  {K::Position, LoopGains{{400, 0, 100, 0}, 3}}}) {
        CaptureRig rig;
        rig.state.link.driveConnected = 0;
        Window window;
        LoopTuner tuner(rig.state, rig.link, kind, rig.messages, rig.messages, window);
        EXPECT_FALSE(tuner.open());
        EXPECT_EQ(tuner.values(), defaults);
        EXPECT_FALSE(tuner.timerTick());
        tuner.close();
        EXPECT_EQ(rig.state.loopCaptureRun.tuningActive.load(), 1u);
        EXPECT_TRUE(rig.drive->requestLog().empty());
        EXPECT_TRUE(rig.messages.boxes().empty());
    }
}

TEST(LoopTuner, OpeningReadsTheDrivesGainsAndCapturesWhenOneChangesUntilClosed) {
    const std::pair<K, LoopGains> drives[] = {{K::Current, {{5000, 1100, 1300, 1500}, 4}},
                                              {K::Speed, {{120, 60, 450, 400}, 4}},
                                              {K::Position, {{350, 5, 90, 0}, 3}}};
    for (const auto& [kind, held] : drives) {
        CaptureRig rig;
        for (int k = 0; k < held.count; ++k) {
            rig.drive->write(GainAddress(kind) + k, static_cast<uint16_t>(held.words[k]));
        }
        SettingsForLoop(rig.state, kind).sampleCount = 64;
        Window window;
        RecordingMessageSink main;
        LoopTuner tuner(rig.state, rig.link, kind, rig.messages, main, window);
        ASSERT_TRUE(tuner.open());
        EXPECT_TRUE(tuner.gainsRead());
        EXPECT_EQ(tuner.values(), held);
        EXPECT_EQ(SharedGains(rig.state, kind), held);

        // The first tick finds the gains changed from the zero copy and asks for a capture.
        EXPECT_TRUE(tuner.timerTick());
        EXPECT_EQ(tuner.dataValid(), 0);
        EXPECT_FALSE(tuner.timerTick());
        ASSERT_TRUE(window.waitFor(1));
        PlotData plot;
        tuner.sampleDone(plot);
        EXPECT_EQ(tuner.dataValid(), 1);
        ASSERT_TRUE(window.waitFor(2)) << "the next capture follows at once";
        tuner.sampleDone(plot, false);
        EXPECT_FALSE(tuner.timerTick());
        EXPECT_FALSE(window.waitFor(3, std::chrono::milliseconds(20))) << "none asked for";

        // A changed gain asks again, and the capture writes it.
        LoopGains changed = held;
        changed.words[1] += 7;
        StoreGains(rig.state, kind, changed);
        EXPECT_TRUE(tuner.timerTick());
        EXPECT_EQ(tuner.dataValid(), 0);
        ASSERT_TRUE(window.waitFor(3));
        tuner.close();
        EXPECT_FALSE(tuner.capturing());
        EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u);
        EXPECT_EQ(rig.drive->read(GainAddress(kind) + 1), changed.words[1]);
        EXPECT_EQ(Requests(*rig.drive).back().payload, (Bytes{0x00, 0x11, 0x00, 0x50}))
            << "servo off comes last";
        EXPECT_TRUE(main.boxes().empty() && rig.messages.boxes().empty());
        const std::size_t after = rig.drive->requestLog().size();
        tuner.close();
        EXPECT_EQ(rig.drive->requestLog().size(), after);
    }
}

TEST(LoopTuner, AFailedGainReadOrSetUpIsReportedAndNothingIsWritten) {
    const struct {
        K kind;
        int sub;
        bool gainsRead;
        uint32_t connected;
    } cases[] = {{K::Position, 0x0091, false, 1},  // the set-up still went through
                 {K::Current, 0x0091, false, 1},
                 {K::Speed, 0x0010, true, 0}};  // the drive would refuse every step test
    for (const auto& c : cases) {
        CaptureRig rig;
        rig.drive->addFault({sim::Fault::Silence, 0xC1, c.sub, -1, 0, -1});
        Window window;
        RecordingMessageSink main;
        LoopTuner tuner(rig.state, rig.link, c.kind, rig.messages, main, window);
        const uint32_t before = rig.clock.tickMs();
        EXPECT_FALSE(tuner.open());
        EXPECT_EQ(rig.clock.tickMs() - before >= kReadGainsLimitMs, !c.gainsRead);
        EXPECT_EQ(tuner.gainsRead(), c.gainsRead);
        EXPECT_EQ(rig.messages.boxes(),
                  (std::vector<Box>{{"Communication with Servo Fails!", "Warning"}}));
        EXPECT_FALSE(tuner.capturing());
        EXPECT_EQ(tuner.captureState().gainsUnread, !c.gainsRead);
        EXPECT_EQ(rig.state.link.driveConnected.load(), c.connected);
        EXPECT_FALSE(tuner.timerTick());
        tuner.close();
        for (const Request& r : Requests(*rig.drive)) {
            EXPECT_NE(r.sub(), 0x0012) << "no step test is asked for";
            EXPECT_NE(r.sub(), 0x0015) << "no gains are written";
        }
        EXPECT_EQ(Requests(*rig.drive).back().sub(), c.connected ? 0x0011 : c.sub);
        EXPECT_TRUE(main.boxes().empty());

        // Once the line is quiet again, the next opening works.
        rig.drive->clearFaults();
        rig.messages.clear();
        rig.state.link.driveConnected = 1;
        LoopTuner again(rig.state, rig.link, c.kind, rig.messages, main, window);
        EXPECT_TRUE(again.open());
        EXPECT_TRUE(again.timerTick());
        EXPECT_TRUE(window.waitFor(1));
        again.close();
        EXPECT_TRUE(rig.messages.boxes().empty());
    }
}

}  // namespace
}  // namespace qx::test
