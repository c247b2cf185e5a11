#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/ComMapping.h"
#include "link/SerialDevices.h"

namespace qx {

// One entry of a COM port's list in "Port Settings...": the text shown and the choice
// it stores.
struct ComChoiceItem {
    std::string text;
    std::string choice;
};

inline constexpr const char* kAutomaticChoiceText = "Automatic (follows the adapters plugged in)";
inline constexpr const char* kSimulatedChoiceText = "Simulated drive";

// Automatic, each device present ("FTDI FT232R USB UART (A50285BI) - /dev/serial/by-id/
// usb-FTDI_..."), then the simulated drive.
std::vector<ComChoiceItem> ComChoiceItems(const std::vector<SerialDevice>& present);

// The choice a COM port's text stands for: an item's choice when the text is an item's,
// else the text typed (blanks around it dropped; empty is automatic). Nothing when the
// typed text is no device path (IsValidComChoice).
std::optional<std::string> ComChoiceFromText(const std::string& text,
                                             const std::vector<ComChoiceItem>& items);

// What `quendrix-cli devices` prints: each device present (path, kernel name, name),
// then what COM1 to COM4 map to and why.
std::vector<std::string> DevicesReport(const std::vector<SerialDevice>& present,
                                       const ComMapping& mapping);

}  // namespace qx
