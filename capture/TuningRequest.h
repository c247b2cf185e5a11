#pragma once

#include <cstdint>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"

namespace qx {

inline constexpr uint32_t kConstACurrent = 12800;
inline constexpr uint32_t kConstASpeedPosition = 20480;
inline constexpr uint32_t kConstB = 24000;
inline constexpr uint32_t kCaptureMaxValue = 0x7FFFFFFF;
inline constexpr uint32_t kCaptureMinValue = 0x80000000;

// Fills LoopCaptureRequest and LoopCaptureRun for a step test of the `kind` loop from
// that loop's capture settings: excitation length and amplitude, where in the two-level
// excitation period sampling starts, and the sampling itself.
void FillTuningRequest(SharedState& state, CaptureKind kind);

}  // namespace qx
