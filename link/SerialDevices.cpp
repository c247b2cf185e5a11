#include "link/SerialDevices.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

namespace qx {

namespace fs = std::filesystem;

namespace {

struct TtyName {
    SerialKind kind = SerialKind::Uart;
    unsigned long number = 0;
};

// A whole decimal number and nothing else ("4", not "4x", "" or one too large).
std::optional<unsigned long> WholeNumber(std::string_view text) {
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// ttyUSB<n>, ttyACM<n> and ttyS<n>; anything else is no serial port of ours.
bool ParseTtyName(const std::string& name, TtyName& out) {
    static const std::pair<std::string_view, SerialKind> kPrefixes[] = {
        {"ttyUSB", SerialKind::UsbSerial},
        {"ttyACM", SerialKind::UsbModem},
        {"ttyS", SerialKind::Uart}};
    for (const auto& [prefix, kind] : kPrefixes) {
        if (std::string_view(name).substr(0, prefix.size()) != prefix) {
            continue;
        }
        const auto number = WholeNumber(std::string_view(name).substr(prefix.size()));
        if (number) {
            out = TtyName{kind, *number};
        }
        return number.has_value();
    }
    return false;
}

// The first line of a sysfs or procfs attribute, at most kMaxAttributeChars long, with
// anything unprintable made a '?' and the blanks around it trimmed.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return {};
    }
    line = line.substr(0, kMaxAttributeChars);
    for (char& c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F) {
            c = '?';
        }
    }
    const auto first = line.find_first_not_of(' ');
    const auto last = line.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

bool IsUnder(const fs::path& path, const fs::path& root) {
    const auto [end, _] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return end == root.end();
}

// The USB device a tty belongs to: the nearest folder above its device that carries
// idVendor, never leaving the sysfs tree.
void ReadUsbAttributes(const DeviceRoots& roots, SerialDevice& device) {
    std::error_code ec;
    const fs::path sysRoot = fs::weakly_canonical(roots.sys, ec);
    fs::path dir = fs::canonical(roots.sys / "class" / "tty" / device.kernelName / "device", ec);
    for (int up = 0; !ec && up <= kMaxUsbAncestors && IsUnder(dir, sysRoot); ++up) {
        if (fs::exists(dir / "idVendor", ec)) {
            device.vendor = ReadAttribute(dir / "manufacturer");
            device.product = ReadAttribute(dir / "product");
            device.serial = ReadAttribute(dir / "serial");
            return;
        }
        dir = dir.parent_path();
    }
}

// A ttyS port exists whether or not a UART stands behind it; sysfs gives the UART's
// type, 0 when there is none.
bool HasUart(const DeviceRoots& roots, const std::string& kernelName) {
    return WholeNumber(ReadAttribute(roots.sys / "class" / "tty" / kernelName / "type"))
               .value_or(0) != 0;
}

const char* KindWords(SerialKind kind) {
    switch (kind) {
        case SerialKind::UsbSerial:
            return "USB serial adapter";
        case SerialKind::UsbModem:
            return "USB modem device";
        case SerialKind::Uart:
            break;
    }
    return "serial port";
}

}  // namespace

DeviceRoots DeviceRoots::Under(const fs::path& root) {
    return DeviceRoots{root / "dev", root / "sys", root / "proc"};
}

std::string SerialDevice::label() const {
    std::string text = vendor;
    if (!product.empty()) {
        text += (text.empty() ? "" : " ") + product;
    }
    if (text.empty()) {
        return std::string(KindWords(kind)) + " " + kernelName;
    }
    if (!serial.empty()) {
        text += " (" + serial + ")";
    }
    return text;
}

std::vector<SerialDevice> DiscoverSerialDevices(const DeviceRoots& roots) {
    std::error_code ec;
    // Kernel name -> by-id link name; udev makes these for USB adapters only. Of several
    // links to one adapter the first name wins, whatever order the folder lists.
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(roots.dev / "serial" / "by-id", ec)) {
        links.push_back(entry.path());
    }
    std::sort(links.begin(), links.end());
    std::map<std::string, std::string> byId;
    for (const fs::path& link : links) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(link, linkError);
        if (!linkError) {
            byId.emplace(target.filename().string(), link.filename().string());
        }
    }

    std::vector<std::pair<TtyName, SerialDevice>> found;
    for (const auto& entry : fs::directory_iterator(roots.dev, ec)) {
        const std::string name = entry.path().filename().string();
        TtyName tty;
        if (!ParseTtyName(name, tty)) {
            continue;
        }
        SerialDevice device;
        device.kernelName = name;
        device.kind = tty.kind;
        device.path = entry.path().string();
        if (tty.kind == SerialKind::Uart) {
            if (!HasUart(roots, name)) {
                continue;
            }
        } else {
            if (const auto it = byId.find(name); it != byId.end()) {
                device.byIdName = it->second;
                device.path = (roots.dev / "serial" / "by-id" / it->second).string();
            }
            ReadUsbAttributes(roots, device);
        }
        found.emplace_back(tty, std::move(device));
    }

    // By-id adapters by name, then other adapters, then UARTs, each by kind and number.
    std::ranges::sort(found, {}, [](const std::pair<TtyName, SerialDevice>& d) {
        return std::tuple(d.second.kind == SerialKind::Uart, d.second.byIdName.empty(),
                          d.second.byIdName, d.first.kind, d.first.number);
    });
    std::vector<SerialDevice> devices;
    for (auto& [tty, device] : found) {
        devices.push_back(std::move(device));
    }
    return devices;
}

std::vector<std::string> FindDeviceHolders(const fs::path& devicePath, const DeviceRoots& roots) {
    std::error_code ec;
    fs::path device = fs::canonical(devicePath, ec);
    if (ec) {
        device = devicePath;
    }
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> holders;
    for (const auto& process : fs::directory_iterator(roots.proc, ec)) {
        const std::string pid = process.path().filename().string();
        if (!WholeNumber(pid) || pid == self) {
            continue;  // "self", "net" ... and this process, which let go of the device
        }
        std::error_code fdError;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == device && !linkError) {
                holders.push_back(ReadAttribute(process.path() / "comm") + " (pid " + pid + ")");
                break;
            }
        }
    }
    std::sort(holders.begin(), holders.end());
    return holders;
}

}  // namespace qx
