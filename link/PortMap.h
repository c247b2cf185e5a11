#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/SerialPort.h"

namespace qx {

// COM ports the command line maps to devices (--com N=DEVICE): the names the tool shows
// ("COM1" to "COM4") and the device each was given, empty for one it left alone. The
// device word "sim" selects the built-in simulated drive.
class PortMap {
  public:
    static constexpr int kPortCount = 4;
    static constexpr const char* kSimulatedDevice = "sim";

    // Takes "N=DEVICE" (N from 1 to 4). Returns an explanation when the text is wrong.
    std::optional<std::string> assign(const std::string& assignment);
    void setDevice(int portNumber, std::string device);
    // The device given to COM n; empty when none was.
    const std::string& device(int portNumber) const;
    // 1 to 4 for "COM1" to "COM4", 0 for anything else.
    static int portNumberOf(const std::string& portName);

  private:
    std::array<std::string, kPortCount> devices_;
};

// Ports for a map: a device path becomes a termios port, "sim" whatever `makeSimulated`
// returns (null when the program has no simulated drive), a port given nothing null.
PortFactory MakePortFactory(const PortMap& map,
                            std::function<std::unique_ptr<SerialPort>()> makeSimulated);

}  // namespace qx
