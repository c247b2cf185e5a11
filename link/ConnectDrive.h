#pragma once

#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

inline constexpr uint32_t kConnectLimitMs = 3000;
inline constexpr int32_t kBaseSampleRateHz = 4000;
inline constexpr float kMsPerTick = 1.0f;

// Software versions the tool supports, compared as whole numbers.
bool IsSupportedSoftwareVersion(uint32_t version);

// Connects to the drive behind an open port and identifies it: boot ROM, software and
// FPGA versions into `identity`. Passes repeat while less than 3000 ms have passed and
// the last pass failed. Returns 1 for a supported drive; the user is told either way.
int ConnectDrive(DriveLink& link, DriveIdentity& identity, MessageSink& owner);

// What picking "COM1" to "COM4" does: open the port, and connect when that worked.
// Returns 1 when the drive was connected and accepted.
int ChooseComPort(DriveLink& link, DriveIdentity& identity, MessageSink& owner, int portNumber);

}  // namespace qx
