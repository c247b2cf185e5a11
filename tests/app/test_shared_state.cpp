// The start-up values every later subsystem relies on.

#include <gtest/gtest.h>

#include "app/SharedState.h"

namespace qx {
namespace {

TEST(SharedState, StartupValuesOfAFreshProgram) {
    SharedState s;
    s.link.portOpen = 1;
    s.link.driveConnected = 1;
    s.parameterTable.parametersLoaded = 1;
    s.loopCaptureRequest.constA = 12800;
    s.currentCaptureSettings.sampleRateHz = 1234;
    ApplyStartupValues(s);

    EXPECT_EQ(s.link.portOpen, 0u);
    EXPECT_EQ(s.link.driveConnected, 0u);
    EXPECT_EQ(s.parameterTable.parametersLoaded, 0u);
    EXPECT_EQ(s.loopCaptureRequest.constA, 0u);

    const LoopCaptureSettings& c = s.currentCaptureSettings;
    EXPECT_EQ(c.lastingTimeMs, 300);
    EXPECT_EQ(c.range, 1.0f);
    EXPECT_EQ(c.samplePosition, 0.96f);
    EXPECT_EQ(c.sampleDivider, 1);
    EXPECT_EQ(c.sampleCount, 512);
    EXPECT_EQ(c.sampleRateHz, 1234) << "the sample rate is not a start-up value";

    EXPECT_EQ(s.speedCaptureSettings.lastingTimeMs, 500);
    EXPECT_EQ(s.speedCaptureSettings.range, 2500.0f);
    EXPECT_EQ(s.speedCaptureSettings.samplePosition, 0.95f);
    EXPECT_EQ(s.speedCaptureSettings.sampleDivider, 4);
    EXPECT_EQ(s.positionCaptureSettings.lastingTimeMs, 1000);
    EXPECT_EQ(s.positionCaptureSettings.range, 100000.0f);
    EXPECT_EQ(s.positionCaptureSettings.sampleDivider, 16);
    EXPECT_EQ(s.positionCaptureSettings.sampleCount, 512);
    EXPECT_EQ(s.speedCaptureSettings.sampleRateHz, 0);
}

TEST(SharedState, FreeRunningDefaultsPerTypeInPositionSpeedCurrentOrder) {
    SharedState s;
    ApplyStartupValues(s);
    const FreeRunSettings& f = s.freeRunSettings;
    EXPECT_EQ(f.monitorType, 0) << "current";
    EXPECT_EQ(f.sampleRateHz[FreeRunSettings::kPosition], 200);
    EXPECT_EQ(f.sampleRateHz[FreeRunSettings::kSpeed], 1000);
    EXPECT_EQ(f.sampleRateHz[FreeRunSettings::kCurrent], 4000);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.triggerType[k], 1) << "auto run";
        EXPECT_EQ(f.triggerEdge[k], 0) << "rising";
        EXPECT_EQ(f.sampleCount[k], 512);
        EXPECT_EQ(f.waveOffset[k], 0.0f);
        EXPECT_EQ(f.triggerValue[k], 0.0);
    }
    // Identity and the drive-derived values start at zero until a drive is accepted.
    EXPECT_EQ(s.identity.baseSampleRateHz, 0);
    EXPECT_EQ(s.identity.msPerTick, 0.0f);
    EXPECT_EQ(s.identity.versionAccepted, 0u);
}

}  // namespace
}  // namespace qx
