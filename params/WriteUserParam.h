#pragma once

#include <cstdint>

#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/ParamChangeLog.h"
#include "params/UserParamTable.h"

namespace qx {

// Sessions to write one parameter are tried until this long after the first began.
inline constexpr uint32_t kWriteParamLimitMs = 3000;

// Writes the low 16 bits of `value` into Pn `pn` on the drive. Returns 0 on success;
// on failure clears driveConnected and tells `owner` ("Communication with the Servo
// Fails!").
uint32_t WriteUserParam(DriveLink& link, int pn, int32_t value, MessageSink& owner);

// What "Set" does, and every other window that writes one parameter: WriteUserParam,
// then, once the drive took the value, the cache holds it and `log` (when given) keeps
// the change. A failed write changes neither.
uint32_t SetUserParam(DriveLink& link, UserParamTable& table, ParamChangeLog* log, int pn,
                      int32_t value, MessageSink& owner);

// The editor's range rule: a value at or beyond a bound of Pn `pn` becomes that bound.
int32_t ClampToParamRange(const UserParamTable& table, int pn, int64_t value);

}  // namespace qx
