#pragma once

#include <cstdint>

#include "sim/SimDrive.h"

namespace qx::sim {

inline constexpr uint16_t kSubStartFreeCapture = 0x0013;
inline constexpr uint16_t kTriggerPositionWord = 30;

// Gives the drive its normal operation (a repeating speed profile) and the free-running
// capture: sampling continuously into the ring at words 1024 to 3071, firing on the
// requested edge and level (or at once in auto run) and recording the requested points
// after it, word 30 then holding the ring word of the trigger point. Polls answer
// "busy" while armed or recording; polls that do not concern a free-running capture go
// to whatever answered them before. Install after the step-test capture.
void InstallFreeRunFeatures(SimDrive& drive);

}  // namespace qx::sim
