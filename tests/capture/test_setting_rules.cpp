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
using F = CaptureSettingFields;

TEST(TuningEdits, WordsAndLimitsOfEveryGain) {
    // A word holds at most 65535: larger values are not sent with their top bits cut.
    const std::tuple<float, float, int> raws[] = {
        {1.2345f, kLsRsRawPerUnit, 1264},  {40.0f, kKeRawPerUnit, 1280},
        {0.0299f, kKeRawPerUnit, 0},       {70.0f, kLsRsRawPerUnit, 65535},
        {63.999f, kLsRsRawPerUnit, 65534}, {-1.0f, kLsRsRawPerUnit, 0}};
    for (auto [value, perUnit, raw] : raws) {
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
        const auto clamp = [&](int64_t v) { return ClampGain(r.kind, r.index, v); };
        EXPECT_EQ(std::tuple(clamp(r.min - 1), clamp(r.min), clamp(r.max), clamp(r.max + 1ll)),
                  std::tuple(r.min, r.min, r.max, r.max))
            << static_cast<int>(r.kind) << " " << r.index;
    }
}

TEST(CaptureSettings, TheLimitsOfEachLoopsEntriesAndWhereTheArrowsStop) {
    // Range: float, commit min and max, spin min and max, step; lasting time: commit min and
    // max, spin min and max; the most points; the start's commit limits.
    EXPECT_EQ(SettingLimits(K::Current), (CaptureSettingLimits{true, 0, 100, 0.01, 100, 0.01f, 1,
                                                               65535, 1, 65535, 1024, -1, 1}));
    EXPECT_EQ(SettingLimits(K::Speed), (CaptureSettingLimits{false, 1, 6000, 1, 6000, 1, 20, 60000,
                                                             20, 60000, 1024, -1, 1}));
    EXPECT_EQ(SettingLimits(K::Position),
              (CaptureSettingLimits{false, -4000000, 4000000, -400000, 400000, 1, 1, 65536, 1,
                                    65535, 512, -1, 1}));
    // The arrows (-1 is up) stop at the spin limits; typed values beyond them stay until
    // moved. Range, lasting time, count, start, and the rate's divider within 1 to 40.
    enum Arrow { R, L, C, S, D };  // range, lasting time, count, start, rate divider
    const struct {
        K kind;
        Arrow field;
        double from;
        int delta;
        double to;
    } arrows[] = {
        {K::Current, R, 100, -1, 100},      {K::Current, R, 0.02, +1, 0.01},
        {K::Position, L, 65536, -1, 65535}, {K::Speed, L, 20, +1, 20},
        {K::Position, C, 512, -1, 512},     {K::Current, C, 1, +1, 1},
        {K::Current, S, 0.995, -1, 1},      {K::Current, S, 0.005, +1, 0},
        {K::Current, D, 40, +1, 100},       {K::Current, D, 1, -1, 4000},
    };
    for (const auto& a : arrows) {
        const int whole = static_cast<int>(a.from);
        const auto part = static_cast<float>(a.from);
        CaptureSettingFields f{whole, 0, whole, part, part, whole};
        const CaptureSettingLimits limits = SettingLimits(a.kind);
        SpinRange(f, limits, a.delta);  // each arrow moves its own field only
        SpinLastingTime(f, limits, a.delta);
        SpinSampleCount(f, limits, a.delta);
        SpinSampleStart(f, a.delta);
        SpinSampleRate(f, 4000, a.delta);
        const double after[] = {f.range, static_cast<double>(f.lastingTimeMs),
                                static_cast<double>(f.sampleCount), f.samplePosition,
                                static_cast<double>(f.sampleRateHz)};
        EXPECT_NEAR(after[a.field], a.to, 1e-6)
            << static_cast<int>(a.kind) << a.field << " " << a.from;
    }
}

TEST(CaptureSettings, OpeningSetsTheRateFromTheDividerEvenIfCancelled) {
    LoopCaptureSettings record = DefaultSpeedCaptureSettings();
    record.sampleRateHz = 7;
    EXPECT_EQ(OpenCaptureSettings(record, 4000), (F{512, 1000, 4, 0.95f, 2500.0f, 500}));
    EXPECT_EQ(record.sampleRateHz, 1000);
    ApplyCaptureSettings({100, 2000, 2, 0.5f, 3.0f, 900}, record);
    EXPECT_EQ(OpenCaptureSettings(record, 8000), (F{100, 4000, 2, 0.5f, 3.0f, 900}));
    EXPECT_EQ(OpenCaptureSettings(record, 0).sampleRateHz, 0) << "no drive, no rate";
}

TEST(CaptureSettings, RatesSnapToADividerAndTheStartBelowOneThousandth) {
    const struct {
        int32_t base, divider, typed, newDivider, rate;
    } rates[] = {{4000, 1, 3000, 1, 4000}, {4000, 1, 1500, 2, 2000}, {4000, 1, 50, 80, 50},
                 {4000, 1, 9000, 1, 4000}, {4000, 1, -5, 1, 4000},   {4000, 8, 0, 8, 500},
                 {0, 1, 1000, 1, 0}};  // 0 keeps the divider; without a base rate it is 0
    for (const auto& c : rates) {
        F f{0, c.typed, c.divider};
        SnapSampleRate(f, c.base);
        EXPECT_EQ(std::pair(f.sampleDivider, f.sampleRateHz), std::pair(c.newDivider, c.rate))
            << c.typed;
    }
    for (auto [start, snapped] : {std::pair{-0.5f, 0.0f}, {0.0009f, 0.0f}, {0.001f, 0.001f}}) {
        F f{.samplePosition = start};
        SnapSampleStart(f);
        EXPECT_EQ(f.samplePosition, snapped) << start;
    }
}

TEST(FreeRunEdits, OffsetsRatesLevelsAndCounts) {
    // 0.29 x 100 falls just below 29 in double precision.
    const std::pair<double, float> offsets[] = {{0.257, 0.25f}, {1.5, 1.0f}, {-0.2, 0.0f},
                                                {0.29, 0.28f},  {NAN, 0.0f}, {INFINITY, 0.0f}};
    for (auto [typed, offset] : offsets) {
        EXPECT_FLOAT_EQ(TruncateWaveOffset(typed), offset) << typed;
    }
    const struct {
        int32_t base;
        int64_t typed;
        int32_t rate, divider;
    } rates[] = {{4000, 3000, 4000, 1}, {4000, 300, 307, 13}, {4000, 9000, 4000, 1},
                 {4000, 1, 1, 4000},    {0, 1000, 1000, 4},   {2000, 1000, 1000, 2}};
    for (const auto& r : rates) {
        const SnappedRate snapped = SnapSampleRate(r.base, r.typed);
        EXPECT_EQ(std::pair(snapped.rateHz, snapped.divider), std::pair(r.rate, r.divider));
    }
    EXPECT_EQ(RateOfDivider(4000, 0).divider, 1);
    const struct {
        K kind;
        double typed, limited;
        int32_t raw;
    } levels[] = {{K::Speed, 7000, 6000, 24000},
                  {K::Speed, -12.9, -12, -48},
                  {K::Current, -250, -100, -12800},
                  {K::Position, NAN, 0, 0},
                  {K::Position, 1e12, 2147483647, 2147483647},
                  {K::Position, -1e12, -2147483648.0, INT32_MIN}};
    for (const auto& l : levels) {
        EXPECT_EQ(std::pair(LimitTriggerValue(l.kind, l.typed), TriggerLevelRaw(l.kind, l.typed)),
                  std::pair(l.limited, l.raw))
            << l.typed;
    }
    const std::tuple<K, int, int> counts[] = {
        {K::Position, 1000, 512}, {K::Current, 0, 1}, {K::Speed, 5000, 1024}};
    for (auto [kind, typed, count] : counts) {
        EXPECT_EQ(LimitSampleCount(kind, typed), count) << typed;
    }
}

}  // namespace
}  // namespace qx
