#pragma once

#include <cstdint>
#include <memory>

#include "sim/DriveStatusModel.h"
#include "sim/DriveStatusSettings.h"
#include "sim/SimDrive.h"

namespace qx::sim {

// Makes the drive answer a poll request with its live status whenever no other job is
// pending: a poll handler installed earlier is asked first, and its answer stands when
// it reports a job still running (no acknowledgement) or carries data of its own.
// Returns the model, whose alarm, voltage and signal bits can be changed at any time.
std::shared_ptr<DriveStatusModel> InstallMonitorFeatures(SimDrive& drive,
                                                         const DriveStatusSettings& settings,
                                                         uint64_t startUs);

}  // namespace qx::sim
