#pragma once

#include <cstdint>

#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

// Sessions to write one parameter are tried until this long after the first began.
inline constexpr uint32_t kWriteParamLimitMs = 3000;

// Writes the low 16 bits of `value` into Pn `pn` on the drive. Returns 0 on success;
// on failure clears driveConnected and tells `owner` ("Communication with the Servo
// Fails!").
uint32_t WriteUserParam(DriveLink& link, int pn, int32_t value, MessageSink& owner);

}  // namespace qx
