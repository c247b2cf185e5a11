#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/PortMap.h"
#include "link/SerialDevices.h"
#include "link/SerialPort.h"

namespace qx {

// Where a COM port's device came from, strongest first.
enum class ComSource { CommandLine, Stored, Automatic };

// What a COM port reaches.
struct ComTarget {
    ComSource source = ComSource::Automatic;
    std::string device;  // a path, "sim", or empty when nothing is there for the port
    std::string label;   // the adapter's name, when it is known
    bool present = false;

    // "/dev/serial/by-id/usb-... (FTDI FT232R USB UART (A50285BI))", "the simulated
    // drive", or "none".
    std::string describe() const;
};

// Longest device path a stored choice may hold.
inline constexpr std::size_t kMaxDevicePathChars = 1024;

// True for what a COM port may be set to: "" (follow the adapters), "sim", or an
// absolute path of printable characters. Stored settings are checked with it.
bool IsValidComChoice(const std::string& choice);

// The device behind each of COM1 to COM4. The command line's --com wins for the run;
// else the choice stored in Port Settings; else the port follows the adapters: the
// ports left free take the devices present in their discovery order, skipping those
// another port holds. A port that reached an adapter keeps it from then on, so the
// next pick after the adapter was pulled says it is gone (and the one after that
// follows the adapters again) instead of quietly reaching another drive.
class ComMapping {
  public:
    explicit ComMapping(DeviceRoots roots = {});

    void setRoots(DeviceRoots roots) { roots_ = std::move(roots); }
    const DeviceRoots& roots() const { return roots_; }

    void setCommandLine(const PortMap& map);
    // COM n's stored choice; one IsValidComChoice refuses is taken as "".
    void setStored(int portNumber, const std::string& choice);
    const std::string& stored(int portNumber) const;

    // What COM n reaches among `present`, without picking it.
    ComTarget preview(int portNumber, const std::vector<SerialDevice>& present) const;
    // What picking COM n reaches now (the devices present are looked up afresh).
    ComTarget pick(int portNumber);
    ComTarget pick(int portNumber, const std::vector<SerialDevice>& present);
    // The target of the last pick.
    const ComTarget& lastPick() const { return lastPick_; }

  private:
    static std::size_t Index(int portNumber);

    DeviceRoots roots_;
    std::array<std::string, PortMap::kPortCount> commandLine_;
    std::array<std::string, PortMap::kPortCount> stored_;
    // The adapter an automatic port reached, with its name.
    std::array<std::string, PortMap::kPortCount> kept_;
    std::array<std::string, PortMap::kPortCount> keptLabel_;
    ComTarget lastPick_;
};

// Ports for the COM names through the mapping: a device that is there becomes a
// termios port, "sim" whatever `makeSimulated` returns; for nothing, or a device that
// is gone, a port whose opening fails and says why. The mapping must outlive it.
PortFactory MakeMappedPortFactory(ComMapping& mapping,
                                  std::function<std::unique_ptr<SerialPort>()> makeSimulated);

}  // namespace qx
