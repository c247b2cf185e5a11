#pragma once

#include <cstdint>

#include "capture/CaptureJob.h"

namespace qx {

inline constexpr int32_t kMinSampleCount = 1;
inline constexpr int32_t kMinFreeRunDivider = 1;
inline constexpr int32_t kMaxFreeRunDivider = 200;
inline constexpr double kMaxCurrentTriggerA = 100.0;
inline constexpr double kMaxSpeedTriggerRpm = 6000.0;
inline constexpr int32_t kWaveOffsetHundredths = 100;
inline constexpr double kCurrentTriggerSpinStep = 0.01;
inline constexpr double kWaveOffsetSpinStep = 0.01;

// Index of a monitor type's entry in FreeRunSettings (stored position, speed, current).
int SettingsIndex(CaptureKind kind);

// Most points a record of the kind may hold, and a typed count held to 1..that.
int32_t MaxSampleCount(CaptureKind kind);
int32_t LimitSampleCount(CaptureKind kind, int64_t count);

// The base rate a divider divides; a drive that reported none is taken to run at the
// standard rate rather than dividing by zero.
int32_t EffectiveBaseRate(int32_t baseRateHz);

// A typed sample rate snapped to the base rate divided by a whole divider of at least 1.
struct SnappedRate {
    int32_t rateHz = 0;
    int32_t divider = 1;
};
SnappedRate SnapSampleRate(int32_t baseRateHz, int64_t typedHz);
SnappedRate RateOfDivider(int32_t baseRateHz, int64_t divider);

// A typed trigger value held to what the kind allows: current within +-100 A, speed a
// whole number of rpm within +-6000, position a whole number of pulses.
double LimitTriggerValue(CaptureKind kind, double value);
// The level the drive compares with: current x 128 and speed x 4, both truncated.
int32_t TriggerLevelRaw(CaptureKind kind, double value);
// Step of one spin arrow on the trigger value.
double TriggerSpinStep(CaptureKind kind);

// A typed wave offset truncated to hundredths and held to 0..1.
float TruncateWaveOffset(double typed);

}  // namespace qx
