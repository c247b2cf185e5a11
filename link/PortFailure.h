#pragma once

#include <string>

namespace qx {

// Where opening a COM port failed: creating (opening) the device, applying the line
// settings, or the probe the drive did not answer.
enum class PortStage { Create, Setup, Probe };

// What the detail of a port failure box is made from.
struct PortFailure {
    PortStage stage = PortStage::Create;
    std::string portName;  // "COM1"
    std::string device;    // as the port names it; empty when nothing was found to open
    int error = 0;         // the system's error number, 0 when it gave none
    std::string reason;    // the port's own account of the failure, if any
};

// The detail under a port failure box, one "Label: text" line each: the device tried,
// the reason, and the remedy where one is known (the dialout group for a permission
// refused, who may hold a busy port, what to check when the drive is silent).
std::string PortFailureDetail(const PortFailure& failure);

}  // namespace qx
