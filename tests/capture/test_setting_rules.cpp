// The rules behind the tuning windows' edits and the capture setting dialogs:
// quantisation, the ranges of every entry, rate snapping and the arrows; and the free-
// running capture window's edits.

#include <gtest/gtest.h>

#include <cmath>

#include "capture/CaptureSettingsForm.h"
#include "capture/FreeRunEdits.h"
#include "capture/TuningEdits.h"

namespace qx {
namespace {

using K = CaptureKind;

TEST(TuningEdits, WordsAndLimitsOfEveryGain) {
    // A word holds at most 65535: larger values are not sent with their top bits cut.
    for (auto [value, perUnit, raw] : {std::tuple{1.2345f, kLsRsRawPerUnit, 1264},
                                       {40.0f, kKeRawPerUnit, 1280},
                                       {0.0299f, kKeRawPerUnit, 0},
                                       {70.0f, kLsRsRawPerUnit, 65535},
                                       {63.999f, kLsRsRawPerUnit, 65534},
                                       {-1.0f, kLsRsRawPerUnit, 0}}) {
        EXPECT_EQ(MotorConstantRaw(value, perUnit), raw) << value;
    }
    EXPECT_EQ(MotorConstantValue(1264, kLsRsRawPerUnit), 1.234375f);
    EXPECT_EQ(MotorConstantValue(1280, kKeRawPerUnit), 40.0f);
    for (auto [typed, ki] : {std::pair{0, 1}, {-7, 1}, {1, 1}, {2000, 2000}, {70000, 65535}}) {
        EXPECT_EQ(LimitKi(typed), ki) << typed;
    }
    // Speed Kp, T_rc, speed filter, output filter; position Kp, Kd, cut-off; current Ki.
    const struct {
        K kind;
        int index;
        int32_t min, max;
    } ranges[] = {
        {K::Speed, 0, 1, 65535},    {K::Speed, 1, 1, 65535},    {K::Speed, 2, 1, 1000},
        {K::Speed, 3, 1, 1000},     {K::Position, 0, 0, 65535}, {K::Position, 1, 0, 65535},
        {K::Position, 2, 0, 65535}, {K::Current, 3, 1, 65535},  {K::Current, 0, 0, 65535}};
    for (const auto& r : ranges) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(r.kind) << " " << r.index);
        EXPECT_EQ(ClampGain(r.kind, r.index, r.min - 1), r.min);
        EXPECT_EQ(ClampGain(r.kind, r.index, r.min), r.min);
        EXPECT_EQ(ClampGain(r.kind, r.index, r.max), r.max);
        EXPECT_EQ(ClampGain(r.kind, r.index, int64_t{r.max} + 1), r.max);
    }
}

TEST(CaptureSettings, TheRangesOfEachLoopsEntries) {
    const struct {
        K kind;
        bool rangeIsFloat;
        double rangeMin, rangeMax, rangeSpinMin, rangeSpinMax, rangeStep;
        int32_t lastingMin, lastingMax, lastingSpinMin, lastingSpinMax, countMax;
    } rows[] = {
        {K::Current, true, 0, 100, 0.01, 100, 0.01, 1, 65535, 1, 65535, 1024},
        {K::Speed, false, 1, 6000, 1, 6000, 1, 20, 60000, 20, 60000, 1024},
        {K::Position, false, -4000000, 4000000, -400000, 400000, 1, 1, 65536, 1, 65535, 512},
    };
    for (const auto& r : rows) {
        const CaptureSettingLimits l = SettingLimits(r.kind);
        EXPECT_EQ(l.rangeIsFloat, r.rangeIsFloat);
        EXPECT_EQ(l.rangeCommitMin, r.rangeMin);
        EXPECT_EQ(l.rangeCommitMax, r.rangeMax);
        EXPECT_EQ(l.rangeSpinMin, r.rangeSpinMin);
        EXPECT_EQ(l.rangeSpinMax, r.rangeSpinMax);
        EXPECT_NEAR(l.rangeStep, r.rangeStep, 1e-6);
        EXPECT_EQ(l.lastingCommitMin, r.lastingMin);
        EXPECT_EQ(l.lastingCommitMax, r.lastingMax);
        EXPECT_EQ(l.lastingSpinMin, r.lastingSpinMin);
        EXPECT_EQ(l.lastingSpinMax, r.lastingSpinMax);
        EXPECT_EQ(l.countMax, r.countMax);
        EXPECT_EQ(l.startCommitMin, -1.0f);
        EXPECT_EQ(l.startCommitMax, 1.0f) << "1.5 fails";

        // The arrows stop at the spin limits, typed values beyond them stay until moved.
        CaptureSettingFields f;
        f.range = static_cast<float>(r.rangeSpinMax);
        SpinRange(f, l, -1);
        EXPECT_FLOAT_EQ(f.range, static_cast<float>(r.rangeSpinMax));
        f.range = static_cast<float>(r.rangeMin);
        SpinRange(f, l, +1);
        EXPECT_FLOAT_EQ(f.range, static_cast<float>(r.rangeSpinMin)) << "...but not below";
        f.range = static_cast<float>(r.rangeSpinMin + r.rangeStep);
        SpinRange(f, l, +1);
        EXPECT_FLOAT_EQ(f.range, static_cast<float>(r.rangeSpinMin));
        f.lastingTimeMs = r.lastingMax;
        SpinLastingTime(f, l, -1);
        EXPECT_EQ(f.lastingTimeMs, r.lastingSpinMax);
        f.lastingTimeMs = r.lastingSpinMin;
        SpinLastingTime(f, l, +1);
        EXPECT_EQ(f.lastingTimeMs, r.lastingSpinMin);
        SpinLastingTime(f, l, -1);
        EXPECT_EQ(f.lastingTimeMs, r.lastingSpinMin + 1);
        f.sampleCount = r.countMax;
        SpinSampleCount(f, l, -1);
        EXPECT_EQ(f.sampleCount, r.countMax);
        f.sampleCount = 1;
        SpinSampleCount(f, l, +1);
        EXPECT_EQ(f.sampleCount, 1);
    }
}

TEST(CaptureSettings, OpeningSetsTheRateFromTheDividerEvenIfCancelled) {
    LoopCaptureSettings record = DefaultSpeedCaptureSettings();
    record.sampleRateHz = 7;
    const CaptureSettingFields f = OpenCaptureSettings(record, 4000);
    EXPECT_EQ(record.sampleRateHz, 1000);
    EXPECT_EQ(f.sampleRateHz, 1000);
    EXPECT_EQ(f.sampleDivider, 4);
    EXPECT_EQ(f.sampleCount, 512);
    EXPECT_EQ(f.samplePosition, 0.95f);
    EXPECT_EQ(f.range, 2500.0f);
    EXPECT_EQ(f.lastingTimeMs, 500);
    CaptureSettingFields changed{100, 2000, 2, 0.5f, 3.0f, 900};
    ApplyCaptureSettings(changed, record);
    const LoopCaptureSettings& r = record;
    EXPECT_EQ((std::tuple{r.sampleCount, r.sampleRateHz, r.sampleDivider, r.samplePosition, r.range,
                          r.lastingTimeMs}),
              (std::tuple{100, 2000, 2, 0.5f, 3.0f, 900}));
    EXPECT_EQ(OpenCaptureSettings(record, 0).sampleRateHz, 0) << "no drive, no rate";
}

TEST(CaptureSettings, RatesSnapToADividerAndTheStartBelowOneThousandth) {
    const struct {
        int32_t base, divider, typed, newDivider, rate;
    } rates[] = {{4000, 1, 3000, 1, 4000}, {4000, 1, 1500, 2, 2000}, {4000, 1, 50, 80, 50},
                 {4000, 1, 9000, 1, 4000}, {4000, 1, -5, 1, 4000},   {4000, 8, 0, 8, 500},
                 {0, 1, 1000, 1, 0}};  // 0 keeps the divider; without a base rate it is 0
    for (const auto& c : rates) {
        CaptureSettingFields f;
        f.sampleDivider = c.divider;
        f.sampleRateHz = c.typed;
        SnapSampleRate(f, c.base);
        EXPECT_EQ(f.sampleDivider, c.newDivider) << c.typed;
        EXPECT_EQ(f.sampleRateHz, c.rate) << c.typed;
    }
    // The rate arrows move the divider within 1 to 40.
    const struct {
        int32_t divider, delta, newDivider, rate;
    } arrows[] = {{40, +1, 40, 100}, {40, -1, 39, 102}, {1, -1, 1, 4000}, {39, +1, 40, 100}};
    for (const auto& a : arrows) {
        CaptureSettingFields f;
        f.sampleDivider = a.divider;
        SpinSampleRate(f, 4000, a.delta);
        EXPECT_EQ(f.sampleDivider, a.newDivider);
        EXPECT_EQ(f.sampleRateHz, a.rate);
    }
    const struct {
        float start;
        int delta;
        float next;
    } starts[] = {{-0.5f, 0, 0.0f},   {0.0009f, 0, 0.0f},  {0.001f, 0, 0.001f}, {0.995f, -1, 1.0f},
                  {0.005f, +1, 0.0f}, {0.0105f, +1, 0.0f}, {0.5f, -1, 0.51f}};
    for (const auto& s : starts) {
        CaptureSettingFields f;
        f.samplePosition = s.start;
        s.delta == 0 ? SnapSampleStart(f) : SpinSampleStart(f, s.delta);
        EXPECT_FLOAT_EQ(f.samplePosition, s.next) << s.start;
    }
}

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

}  // namespace
}  // namespace qx
