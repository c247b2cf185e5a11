// The rules behind the tuning windows' edits and the capture setting dialogs:
// quantisation, limits, rate snapping and the arrows.

#include <gtest/gtest.h>

#include "capture/CaptureSettingsForm.h"
#include "capture/TuningEdits.h"

namespace qx {
namespace {

TEST(TuningEdits, MotorConstantsAreQuantisedToTheirWords) {
    EXPECT_EQ(MotorConstantRaw(1.2345f, kLsRsRawPerUnit), 1264);
    EXPECT_EQ(MotorConstantValue(1264, kLsRsRawPerUnit), 1.234375f);
    EXPECT_EQ(MotorConstantRaw(40.0f, kKeRawPerUnit), 1280);
    EXPECT_EQ(MotorConstantRaw(0.0299f, kKeRawPerUnit), 0);
    // A word holds at most 65535: larger values are not sent with their top bits cut.
    EXPECT_EQ(MotorConstantRaw(70.0f, kLsRsRawPerUnit), 65535);
    EXPECT_EQ(MotorConstantRaw(-1.0f, kLsRsRawPerUnit), 0);
}

TEST(TuningEdits, KiIsAtLeastOne) {
    EXPECT_EQ(LimitKi(0), 1);
    EXPECT_EQ(LimitKi(-7), 1);
    EXPECT_EQ(LimitKi(2000), 2000);
    EXPECT_EQ(LimitKi(70000), 65535);
}

TEST(TuningEdits, SpeedAndPositionLimits) {
    // Output filter: 0 becomes 1, 5000 becomes 1000, typed or stepped.
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 3, 0), 1);
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 3, 5000), 1000);
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 3, 1000 - (-1)), 1000) << "up arrow at the top";
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 2, 1 - 1), 1) << "down arrow at the bottom";
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 0, 0), 1);
    EXPECT_EQ(ClampGain(CaptureKind::Speed, 1, 70000), 65535);
    EXPECT_EQ(ClampGain(CaptureKind::Position, 0, -3), 0);
    EXPECT_EQ(ClampGain(CaptureKind::Position, 2, 5000), 5000);
    EXPECT_EQ(ClampGain(CaptureKind::Position, 1, 65536), 65535);
}

TEST(CaptureSettings, OpeningSetsTheRateFromTheDividerEvenIfCancelled) {
    LoopCaptureSettings record = DefaultSpeedCaptureSettings();
    record.sampleRateHz = 7;
    const CaptureSettingFields f = OpenCaptureSettings(record, 4000);
    EXPECT_EQ(record.sampleRateHz, 1000);
    EXPECT_EQ(f.sampleRateHz, 1000);
    EXPECT_EQ(f.sampleCount, 512);
    EXPECT_EQ(f.samplePosition, 0.95f);
    EXPECT_EQ(f.range, 2500.0f);
    EXPECT_EQ(f.lastingTimeMs, 500);

    CaptureSettingFields changed = f;
    changed.lastingTimeMs = 900;
    ApplyCaptureSettings(changed, record);
    EXPECT_EQ(record.lastingTimeMs, 900);
}

TEST(CaptureSettings, ATypedRateSnapsToTheNextRateADividerGives) {
    LoopCaptureSettings record = DefaultCurrentCaptureSettings();
    CaptureSettingFields f = OpenCaptureSettings(record, 4000);
    EXPECT_EQ(f.sampleRateHz, 4000);
    struct Case {
        int32_t typed, divider, rate;
    };
    for (const Case& c : {Case{3000, 1, 4000}, Case{1500, 2, 2000}, Case{50, 80, 50},
                          Case{9000, 1, 4000}, Case{-5, 1, 4000}}) {
        f.sampleRateHz = c.typed;
        SnapSampleRate(f, 4000);
        EXPECT_EQ(f.sampleDivider, c.divider) << c.typed;
        EXPECT_EQ(f.sampleRateHz, c.rate) << c.typed;
    }
    f.sampleDivider = 8;
    f.sampleRateHz = 0;
    SnapSampleRate(f, 4000);
    EXPECT_EQ(f.sampleRateHz, 500) << "0 restores the rate of the unchanged divider";
}

TEST(CaptureSettings, WithoutABaseRateEveryRateIsZero) {
    LoopCaptureSettings record = DefaultPositionCaptureSettings();
    CaptureSettingFields f = OpenCaptureSettings(record, 0);
    EXPECT_EQ(f.sampleRateHz, 0);
    f.sampleRateHz = 1000;
    SnapSampleRate(f, 0);
    EXPECT_EQ(f.sampleDivider, 1);
    EXPECT_EQ(f.sampleRateHz, 0);
}

TEST(CaptureSettings, TheRateArrowsMoveTheDividerWithinOneToForty) {
    CaptureSettingFields f;
    f.sampleDivider = 40;
    SpinSampleRate(f, 4000, +1);
    EXPECT_EQ(f.sampleDivider, 40);
    EXPECT_EQ(f.sampleRateHz, 100);
    SpinSampleRate(f, 4000, -1);
    EXPECT_EQ(f.sampleRateHz, 102) << "4000 / 39";
    f.sampleDivider = 1;
    SpinSampleRate(f, 4000, -1);
    EXPECT_EQ(f.sampleDivider, 1);
    EXPECT_EQ(f.sampleRateHz, 4000);
}

TEST(CaptureSettings, TheStartSnapsBelowOneThousandthAndItsArrowsStayWithinZeroToOne) {
    CaptureSettingFields f;
    f.samplePosition = -0.5f;
    SnapSampleStart(f);
    EXPECT_EQ(f.samplePosition, 0.0f);
    f.samplePosition = 0.0009f;
    SnapSampleStart(f);
    EXPECT_EQ(f.samplePosition, 0.0f);
    f.samplePosition = 0.995f;
    SpinSampleStart(f, -1);
    EXPECT_EQ(f.samplePosition, 1.0f);
    f.samplePosition = 0.005f;
    SpinSampleStart(f, +1);
    EXPECT_EQ(f.samplePosition, 0.0f);
    EXPECT_EQ(SettingLimits(CaptureKind::Current).startCommitMax, 1.0f) << "1.5 fails";
}

TEST(CaptureSettings, RangeAndLastingArrowsStopAtTheirSpinLimits) {
    const CaptureSettingLimits current = SettingLimits(CaptureKind::Current);
    CaptureSettingFields f;
    f.range = 0.0f;  // a typed 0 passes the commit...
    EXPECT_GE(f.range, current.rangeCommitMin);
    SpinRange(f, current, +1);
    EXPECT_EQ(f.range, 0.01f) << "...but the arrows never go below 0.01";
    f.range = 99.995f;
    SpinRange(f, current, -1);
    EXPECT_EQ(f.range, 100.0f);

    const CaptureSettingLimits position = SettingLimits(CaptureKind::Position);
    EXPECT_EQ(position.lastingCommitMax, 65536);
    f.lastingTimeMs = 65536;
    SpinLastingTime(f, position, -1);
    EXPECT_EQ(f.lastingTimeMs, 65535);
    EXPECT_EQ(position.rangeCommitMax, 4000000);
    f.range = 4000000.0f;
    SpinRange(f, position, -1);
    EXPECT_EQ(f.range, 400000.0f);
    f.range = -400000.0f;
    SpinRange(f, position, +1);
    EXPECT_EQ(f.range, -400000.0f);
    f.sampleCount = 512;
    SpinSampleCount(f, position, -1);
    EXPECT_EQ(f.sampleCount, 512);

    const CaptureSettingLimits speed = SettingLimits(CaptureKind::Speed);
    f.lastingTimeMs = 20;
    SpinLastingTime(f, speed, +1);
    EXPECT_EQ(f.lastingTimeMs, 20);
    f.range = 6000.0f;
    SpinRange(f, speed, -1);
    EXPECT_EQ(f.range, 6000.0f);
}

}  // namespace
}  // namespace qx
