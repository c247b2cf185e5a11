#pragma once

// The exchanges of the Encoder Fixing dialog: the rotor position, holding the rotor
// with a chosen current, and letting it go.

#include <cstdint>

#include "link/DriveCommands.h"
#include "motor/MotorFields.h"

namespace qx {

// Shown for a failed read, and while no index pulse has been seen.
inline constexpr uint16_t kRotorPositionUnknown = 65535;
inline constexpr int32_t kDefaultFreezeCurrentA = 3;
inline constexpr IntRange kFreezeCurrentRange{1, 10};
inline constexpr uint32_t kRotorPollPeriodMs = 200;
inline constexpr uint16_t kIndexSeenBit = 0x0001;
// Mode word of MotorTest action 2.
inline constexpr uint16_t kMotorTestModeTurn = 0;
inline constexpr uint16_t kMotorTestModeHold = 1;

// Session opening, then words 0x0011 (position) and 0x0012 (index flag). The position,
// or kRotorPositionUnknown when an exchange failed or the index flag is clear.
uint16_t ReadRotorPosition(Session& session);

// The current word of a freeze: amperes x 128.
uint16_t FreezeCurrentRaw(int32_t amperes);

// Session opening, then MotorTest action 2 in hold mode with `amperes`.
uint32_t FreezeRotor(Session& session, int32_t amperes);

// Session opening, then MotorTest action 5: ends any test and releases the motor.
uint32_t ServoOff(Session& session);

}  // namespace qx
