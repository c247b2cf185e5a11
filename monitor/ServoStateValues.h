#pragma once

#include <cstdint>
#include <string>

#include "monitor/StatusWords.h"

namespace qx {

// Drives below this software version report no DC bus voltage.
inline constexpr uint32_t kDcBusMinSoftwareVersion = 1001;

inline constexpr float kCurrentScale = 128.0f;  // A x 128 on the wire
inline constexpr int32_t kSpeedScale = 4;       // rpm x 4 on the wire

// The ten values of the status monitor, in the units it shows them.
struct ServoStateValues {
    float torque = 0.0f;  // A
    int32_t speed = 0;    // rpm
    int32_t position = 0;
    int32_t positionError = 0;
    float torqueInstruction = 0.0f;  // A
    int32_t speedInstruction = 0;    // rpm
    int32_t positionInstruction = 0;
    int32_t speedError = 0;  // rpm
    int32_t alarmNumber = 0;
    int32_t dcBus = 0;  // V

    bool operator==(const ServoStateValues&) const = default;
};

// A 16-bit field with bit 15 set is negative; bits above 15 are ignored.
int32_t SignExtend16(uint32_t raw);
// A x 128 to amperes.
float CurrentAmps(uint32_t raw);
// rpm x 4 to whole rpm, truncated toward zero (-3 gives 0, not -1).
int32_t SpeedRpm(uint32_t raw);
// The alarm's number while one is present (high byte non-zero), else 0.
int32_t AlarmNumber(uint32_t alarmWord);
// instruction - feedback in 32-bit pulses; wraps as the drive's counters do.
int32_t PositionError(uint32_t positionCommand, uint32_t positionFeedback);

ServoStateValues ComputeServoStateValues(const StatusWords& words);

// Whether the monitor shows the DC bus voltage for a drive of this software version.
bool ShowsDcBus(uint32_t softwareVersion);

// The general number format with up to six significant digits: 1.5, -1, 0.
std::string FormatGeneral(float value);

}  // namespace qx
