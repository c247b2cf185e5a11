#pragma once

// Command-line options for what the simulated drive's status shows. Header-only, so
// the simulated drive's library needs no command-line parser.

#include <CLI/CLI.hpp>

#include <string>

#include "sim/DriveStatusSettings.h"

namespace qx::sim {

// Adds --<prefix>alarm, --<prefix>dc-bus, --<prefix>inputs, --<prefix>outputs,
// --<prefix>phases and --<prefix>still; `what` starts each description.
inline void AddDriveStatusOptions(CLI::App& app, DriveStatusSettings& settings,
                                  const std::string& prefix, const std::string& what) {
    app.add_option("--" + prefix + "alarm", settings.alarmNumber,
                   what + "alarm number shown, 0 for none (0); an alarm stops the motor")
        ->check(CLI::Range(0, 255));
    app.add_option("--" + prefix + "dc-bus", settings.dcBusVolts,
                   what + "DC bus voltage in V (311)");
    app.add_option("--" + prefix + "inputs", settings.inputBits,
                   what +
                       "CN2 input bits, e.g. 0x0200 (ServoEn, the default); the motor "
                       "runs only with bit 9 set");
    app.add_option("--" + prefix + "outputs", settings.outputBits,
                   what + "CN2 output bits (default: from the drive's state)");
    app.add_option("--" + prefix + "phases", settings.phaseBits,
                   what + "encoder input bits U V W A B Z = 5..0 (default: from the rotor)");
    app.add_flag("--" + prefix + "still", settings.still,
                 what + "the motor stands still instead of running its speed profile");
}

}  // namespace qx::sim
