#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qx {

// Where the system shows its devices. Tests root all three in a temporary folder that
// holds a made-up device tree.
struct DeviceRoots {
    std::filesystem::path dev = "/dev";
    std::filesystem::path sys = "/sys";
    std::filesystem::path proc = "/proc";

    // root/dev, root/sys and root/proc.
    static DeviceRoots Under(const std::filesystem::path& root);
};

enum class SerialKind { UsbSerial, UsbModem, Uart };

// A serial device that is present: a USB adapter (ttyUSB, ttyACM) or a UART (ttyS).
struct SerialDevice {
    // What a COM port opens: the adapter's /dev/serial/by-id link when it has one, which
    // stays the same whichever ttyUSB number the adapter gets.
    std::string path;
    std::string kernelName;  // "ttyUSB0"
    SerialKind kind = SerialKind::Uart;
    std::string byIdName;  // the link's name under /dev/serial/by-id, empty without one
    // What the USB device says of itself (sysfs), cleaned of anything unprintable.
    std::string vendor;
    std::string product;
    std::string serial;

    // "FTDI FT232R USB UART (A50285BI)", or the kind and kernel name ("serial port
    // ttyS0") when the device names nothing.
    std::string label() const;
};

// Longest attribute text taken from sysfs; a device may claim anything.
inline constexpr std::size_t kMaxAttributeChars = 128;
// How far above a tty's device folder its USB device is looked for.
inline constexpr int kMaxUsbAncestors = 6;

// The serial devices present, in the order COM ports take them: USB adapters with a
// by-id link in the order of their names, then other USB adapters, then the ttyS ports
// that have a UART behind them.
std::vector<SerialDevice> DiscoverSerialDevices(const DeviceRoots& roots = {});

// The programs that hold `devicePath` open ("minicom (pid 4242)"), as far as the system
// lets this user see them.
std::vector<std::string> FindDeviceHolders(const std::filesystem::path& devicePath,
                                           const DeviceRoots& roots = {});

}  // namespace qx
