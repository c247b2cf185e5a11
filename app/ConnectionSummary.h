#pragma once

#include <string>
#include <vector>

#include "app/SharedState.h"

namespace qx {

// What the main window's view says about the connection, line by line, in plain text:
// the port and its device, whether a drive is connected, the versions of the last
// drive identified, and the outcome of the last operation ("Title: text" of the last
// box the main window showed). `portName` is empty before the first COM pick, `device`
// when nothing was found for the port.
std::vector<std::string> ConnectionSummary(const SharedState& state, const std::string& portName,
                                           const std::string& device,
                                           const std::string& lastOutcome);

}  // namespace qx
