#pragma once

// Starts quendrix-drive-sim as a child process and reads the pseudo-terminal it serves,
// so a benchmark measures the tool through its real termios port with the drive in a
// process of its own.

#include <string>

#include "tests/support/DriveSimProcess.h"

namespace qx::bench {

using SimProcess = qx::test::DriveSimProcess;

// The drive simulator beside this benchmark's binary, as CMake builds them.
inline std::string DriveSimPath(const char* argv0) {
    std::string self(argv0);
    const auto slash = self.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
    return dir + "/../quendrix-drive-sim";
}

}  // namespace qx::bench
