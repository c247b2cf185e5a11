#include "link/SerialDevices.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>
#include <tuple>

namespace qx {

namespace fs = std::filesystem;

namespace {

struct TtyName {
    SerialKind kind = SerialKind::Uart;
    unsigned long number = 0;
};

// ttyUSB<n>, ttyACM<n> and ttyS<n>; anything else is no serial port of ours.
bool ParseTtyName(const std::string& name, TtyName& out) {
    static const std::pair<const char*, SerialKind> kPrefixes[] = {
        {"ttyUSB", SerialKind::UsbSerial},
        {"ttyACM", SerialKind::UsbModem},
        {"ttyS", SerialKind::Uart}};
    for (const auto& [prefix, kind] : kPrefixes) {
        const std::string p = prefix;
        if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) {
            continue;
        }
        const std::string digits = name.substr(p.size());
        if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(),
                                              [](char c) { return c >= '0' && c <= '9'; })) {
            return false;
        }
        out = TtyName{kind, std::stoul(digits)};
        return true;
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
    if (line.size() > kMaxAttributeChars) {
        line.resize(kMaxAttributeChars);
    }
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
    const std::string type = ReadAttribute(roots.sys / "class" / "tty" / kernelName / "type");
    return !type.empty() && type.find_first_not_of('0') != std::string::npos &&
           std::all_of(type.begin(), type.end(), [](char c) { return c >= '0' && c <= '9'; });
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
    // Kernel name -> by-id link name; udev makes these for USB adapters only.
    std::map<std::string, std::string> byId;
    for (const auto& entry : fs::directory_iterator(roots.dev / "serial" / "by-id", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        const std::string name = entry.path().filename().string();
        if (linkError) {
            continue;
        }
        // Several links to one adapter: the first name wins, whatever order the folder lists.
        std::string& slot = byId[target.filename().string()];
        if (slot.empty() || name < slot) {
            slot = name;
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
    auto rank = [](const std::pair<TtyName, SerialDevice>& d) {
        const int group =
            d.second.kind == SerialKind::Uart ? 2 : (d.second.byIdName.empty() ? 1 : 0);
        return std::tuple(group, d.second.byIdName, static_cast<int>(d.first.kind), d.first.number);
    };
    std::sort(found.begin(), found.end(),
              [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
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
        if (pid.empty() || pid == self ||
            !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
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
