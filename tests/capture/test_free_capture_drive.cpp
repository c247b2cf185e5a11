// Free-running captures from the simulated drive in normal operation: a triggered record
// crosses its level in the chosen direction at the trigger point, auto run records at
// once, and polls stay unanswered while the drive waits for its edge.

#include <gtest/gtest.h>

#include "capture/CaptureSequence.h"
#include "capture/DecodeSamples.h"
#include "capture/FreeRunEdits.h"
#include "sim/FreeRunFeatures.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

struct FreeDriveRig : CaptureRig {
    FreeDriveRig() { sim::InstallFreeRunFeatures(*drive); }

    CaptureJob Job(CaptureKind kind, int32_t mode, double level, int count, float pre) {
        state.loopCaptureRun.tuningActive = 0;
        state.freeRunRequest.monitorType = static_cast<int32_t>(kind);
        state.freeRunRequest.sampleCount = count;
        state.freeRunRequest.sampleDivider = 1;
        state.freeRunRequest.triggerMode = mode;
        state.freeRunRequest.triggerLevelRaw = TriggerLevelRaw(kind, level);
        state.freeRunRequest.preTriggerFraction = pre;
        return SnapshotCaptureJob(state);
    }

    PlotData Capture(const CaptureJob& job) {
        CaptureSequence seq(link);
        seq.begin(job);
        EXPECT_TRUE(RunToRecord(seq, 1'000'000));
        PlotData plot;
        DecodeSamples(seq.record(), job.kind, job.sampleCount, plot);
        return plot;
    }
};

struct Case {
    CaptureKind kind;
    int32_t mode;
    double level;
};

class TriggeredRecord : public ::testing::TestWithParam<Case> {};

TEST_P(TriggeredRecord, CrossesTheLevelInTheChosenDirectionAtTheTriggerPoint) {
    const Case c = GetParam();
    FreeDriveRig rig;
    const int count = c.kind == CaptureKind::Position ? 256 : 512;
    const CaptureJob job = rig.Job(c.kind, c.mode, c.level, count, 0.25f);
    const PlotData plot = rig.Capture(job);
    const int trigger = count - PostTriggerPoints(job);
    const float before = plot.trace2[trigger - 1];
    const float at = plot.trace2[trigger];
    const auto level = static_cast<float>(c.level);
    if (c.mode == kTriggerRising) {
        EXPECT_LT(before, level);
        EXPECT_GE(at, level);
    } else {
        EXPECT_GT(before, level);
        EXPECT_LE(at, level);
    }
}

INSTANTIATE_TEST_SUITE_P(FreeCaptureDrive, TriggeredRecord,
                         ::testing::Values(Case{CaptureKind::Speed, kTriggerRising, 500.0},
                                           Case{CaptureKind::Speed, kTriggerFalling, -250.0},
                                           Case{CaptureKind::Current, kTriggerRising, 2.0},
                                           Case{CaptureKind::Current, kTriggerFalling, -2.0},
                                           Case{CaptureKind::Position, kTriggerRising, 2000.0}));

TEST(FreeCaptureDrive, AutoRunRecordsTheMotorAtOnce) {
    FreeDriveRig rig;
    const PlotData plot = rig.Capture(rig.Job(CaptureKind::Speed, kTriggerAutoRun, 0, 512, 0));
    float lo = 1e9f;
    float hi = -1e9f;
    for (int i = 0; i < 512; ++i) {
        lo = std::min(lo, plot.trace1[i]);
        hi = std::max(hi, plot.trace1[i]);
        EXPECT_LE(std::abs(plot.trace1[i]), 1000.0f);
    }
    EXPECT_LT(lo, hi) << "the speed moves";
}

TEST(FreeCaptureDrive, AnArmedCaptureWhoseLevelIsNeverReachedKeepsPollsUnanswered) {
    FreeDriveRig rig;
    CaptureSequence seq(rig.link);
    seq.begin(rig.Job(CaptureKind::Speed, kTriggerRising, 5000.0, 128, 0.5f));
    for (int i = 0; i < 60; ++i) {
        ASSERT_FALSE(seq.runStep());
    }
    EXPECT_EQ(seq.step(), CaptureStep::Poll);
    EXPECT_EQ(seq.status(), 0u);
}

}  // namespace
}  // namespace qx::test
