#pragma once

#include <cstdint>

#include "sim/SimDrive.h"

namespace qx::sim {

// Range and factory default of one parameter of the simulated drive.
struct SimParam {
    int16_t minimum = 0;
    int16_t maximum = 0;
    int16_t defaultValue = 0;
};

// Pn 0 to 183; Pn 0 is the software version and fixed.
SimParam SimParamOf(int pn, uint16_t softwareVersion);

// Gives the drive its parameters: the range table, the parameter values at their
// defaults, an EEPROM that the store operations 2, 3 and 6 fill and operation 4
// restores from, and the protection code. While Pn 2 does not hold the unlock code,
// writes that touch another parameter and the store operations are answered without
// acknowledgement; Pn 2 itself stays writable. The drive starts unlocked.
void InstallParameterFeatures(SimDrive& drive);

}  // namespace qx::sim
