#pragma once

#include <cstdint>

#include "capture/CaptureJob.h"

namespace qx {

inline constexpr float kLsRsRawPerUnit = 1024.0f;
inline constexpr float kKeRawPerUnit = 32.0f;
inline constexpr float kLsRsSpinStep = 0.01f;
inline constexpr float kKeSpinStep = 0.1f;
inline constexpr int32_t kGainWordMax = 65535;

// Raw word of a motor constant typed as a float (Ls or Rs x 1024, Ke x 32), truncated
// toward zero. Every word the drive can hold stands for a value; one it cannot hold
// would reach it with its upper bits cut off, so the word is kept within 0..65535.
int32_t MotorConstantRaw(float value, float rawPerUnit);
// The value a raw word stands for, as the window shows it again.
float MotorConstantValue(int32_t raw, float rawPerUnit);
// Ki as the current window keeps it: at least 1, and a word the drive can hold.
int32_t LimitKi(int64_t value);

// Limits of gain `index` (drive order) in the speed and position windows.
struct GainLimits {
    int32_t minimum = 0;
    int32_t maximum = kGainWordMax;
};
GainLimits LimitsOfGain(CaptureKind kind, int index);
int32_t ClampGain(CaptureKind kind, int index, int64_t value);

}  // namespace qx
