#pragma once

#include <cstdint>
#include <optional>

namespace qx::sim {

// What the simulated drive's status reply shows beyond its moving motor.
struct DriveStatusSettings {
    uint16_t alarmNumber = 0;  // 0: no alarm; 1 to 255: the alarm shown
    uint16_t dcBusVolts = 311;
    uint16_t inputBits = 0x0200;  // ServoEn
    // Unset: follow the drive's state (ready, alarm, in position, brake released).
    std::optional<uint16_t> outputBits;
    // Unset: follow the rotor (hall U, V, W; encoder A, B, Z).
    std::optional<uint16_t> phaseBits;
    // The motor stands still even with the servo enabled.
    bool still = false;
};

}  // namespace qx::sim
