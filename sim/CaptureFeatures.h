#pragma once

#include <cstdint>

#include "sim/ServoLoopModel.h"
#include "sim/SimDrive.h"

namespace qx::sim {

// Sub-commands of the drive's capture unit.
inline constexpr uint16_t kSubCaptureSetup = 0x0010;
inline constexpr uint16_t kSubServoControl = 0x0011;
inline constexpr uint16_t kSubStartStepTest = 0x0012;

inline constexpr uint16_t kRingFirstWord = 1024;
inline constexpr uint16_t kRingWords = 2048;

// Gives the drive its step-test capture: the capture set-up, the step test that records
// into the ring at words 1024 to 3071 while a poll answers "busy", servo control, and
// the gain words of a drive commissioned for `motor` (its data words, the standard
// controller gains). Polls that do not concern a step test are handed to whatever
// answered them before.
void InstallCaptureFeatures(SimDrive& drive, const MotorConstants& motor = {});

// The gain words of a drive commissioned for `motor`: Ls, Rs and Ke from the motor's
// data, the controller gains the drive comes with.
LoopGainWords CommissionedGains(const MotorConstants& motor);

// Writes one recorded point into the capture ring at word `at`: command and feedback as
// one word each (two words a point) or as high and low word each (four words a point).
void WriteRingPoint(SimDrive& drive, uint32_t at, int wordsPerPoint, int32_t command,
                    int32_t feedback);

// The gain words the drive holds now.
LoopGainWords ReadGainWords(const SimDrive& drive);

}  // namespace qx::sim
