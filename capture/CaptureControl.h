#pragma once

#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

// Sends the capture set-up of LoopCaptureRequest after a fresh session opening. Stops at
// the first failing exchange; on success sets driveConnected. Returns the last status.
uint32_t SetupCapture(DriveLink& link, SharedState& state);

// Switches the servo off after a tuning window's worker has ended. Failures are shown
// in boxes owned by `mainWindow`; a refused (unacknowledged) disable is accepted
// silently. Returns the last status.
uint32_t StopCapture(DriveLink& link, SharedState& state, MessageSink& mainWindow);

}  // namespace qx
