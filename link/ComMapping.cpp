#include "link/ComMapping.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <numeric>
#include <set>
#include <system_error>

#include "link/ForwardingPort.h"
#include "link/PosixSerialPort.h"

namespace qx {

namespace fs = std::filesystem;

namespace {

bool IsSimulated(const std::string& device) {
    return device == PortMap::kSimulatedDevice;
}

// The device file a path leads to, so that a by-id link and its ttyUSB node are one.
std::string DeviceIdentity(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(path, ec);
    return ec ? path : real.string();
}

// A COM port with nothing behind it: opening it fails and says why.
class AbsentPort final : public SerialPort {
  public:
    AbsentPort(std::string device, std::string reason, int error)
        : device_(std::move(device)), reason_(std::move(reason)), error_(error) {}

    OpenResult open() override { return OpenResult::NotFound; }
    bool configure(const LineSettings&) override { return false; }
    bool setQueueSizes(std::size_t, std::size_t) override { return false; }
    bool purge() override { return false; }
    bool setTimeouts(const PortTimeouts&) override { return false; }
    std::size_t read(uint8_t*, std::size_t) override { return 0; }
    std::size_t readAvailable(uint8_t*, std::size_t) override { return 0; }
    std::size_t write(const uint8_t*, std::size_t) override { return 0; }
    bool drain() override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    std::string lastError() const override { return reason_; }
    int lastErrorNumber() const override { return error_; }
    std::string deviceName() const override { return device_; }

  private:
    std::string device_;
    std::string reason_;
    int error_;
};

// A mapped port: it names its device as the user knows it and, when the device is
// busy, names who holds it if the system says.
class MappedPort final : public ForwardingPort {
  public:
    MappedPort(std::unique_ptr<SerialPort> port, ComTarget target, DeviceRoots roots)
        : ForwardingPort(std::move(port)), target_(std::move(target)), roots_(std::move(roots)) {}

    OpenResult open() override {
        const OpenResult result = ForwardingPort::open();
        const bool busy = result == OpenResult::Busy && !IsSimulated(target_.device);
        const auto holders =
            busy ? FindDeviceHolders(target_.device, roots_) : std::vector<std::string>();
        holders_ = std::accumulate(holders.begin(), holders.end(), std::string(),
                                   [](const std::string& all, const std::string& one) {
                                       return all.empty() ? one : all + ", " + one;
                                   });
        return result;
    }
    std::string lastError() const override {
        const std::string error = ForwardingPort::lastError();
        return holders_.empty() ? error : error + "; held by " + holders_;
    }
    std::string deviceName() const override { return target_.describe(); }

  private:
    ComTarget target_;
    DeviceRoots roots_;
    std::string holders_;
};

}  // namespace

std::string ComTarget::describe() const {
    if (device.empty()) {
        return "none";
    }
    if (IsSimulated(device)) {
        return "the simulated drive";
    }
    return label.empty() ? device : device + " (" + label + ")";
}

bool IsValidComChoice(const std::string& choice) {
    if (choice.empty() || IsSimulated(choice)) {
        return true;
    }
    return choice.size() <= kMaxDevicePathChars && choice.front() == '/' &&
           std::all_of(choice.begin(), choice.end(), [](char c) {
               const auto u = static_cast<unsigned char>(c);
               return u >= 0x20 && u != 0x7F;
           });
}

ComMapping::ComMapping(DeviceRoots roots) : roots_(std::move(roots)) {}

std::size_t ComMapping::Index(int portNumber) {
    return static_cast<std::size_t>(
        std::clamp(portNumber, 1, static_cast<int>(PortMap::kPortCount)) - 1);
}

void ComMapping::setCommandLine(const PortMap& map) {
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        commandLine_[Index(n)] = map.device(n);
    }
}

void ComMapping::setStored(int portNumber, const std::string& choice) {
    const std::size_t i = Index(portNumber);
    const std::string valid = IsValidComChoice(choice) ? choice : std::string();
    if (valid != stored_[i]) {
        // A port set anew starts afresh: no adapter kept from before.
        kept_[i].clear();
        keptLabel_[i].clear();
    }
    stored_[i] = valid;
}

const std::string& ComMapping::stored(int portNumber) const {
    return stored_[Index(portNumber)];
}

ComTarget ComMapping::preview(int portNumber, const std::vector<SerialDevice>& present) const {
    const std::size_t i = Index(portNumber);
    auto target = [&](ComSource source, const std::string& device, const std::string& label) {
        ComTarget t{source, device, label, IsSimulated(device)};
        if (!t.present) {
            std::error_code ec;
            t.present = fs::exists(device, ec);
        }
        for (const SerialDevice& d : present) {
            if (d.path == device) {
                t.label = d.label();
            }
        }
        return t;
    };
    if (!commandLine_[i].empty()) {
        return target(ComSource::CommandLine, commandLine_[i], {});
    }
    if (!stored_[i].empty()) {
        return target(ComSource::Stored, stored_[i], {});
    }
    if (!kept_[i].empty()) {
        return target(ComSource::Automatic, kept_[i], keptLabel_[i]);
    }

    // Devices other ports hold, and this port's place among the ports that are free.
    std::set<std::string> held;
    std::size_t place = 0;
    for (std::size_t j = 0; j != commandLine_.size(); ++j) {
        const std::string& other = !commandLine_[j].empty()
                                       ? commandLine_[j]
                                       : (!stored_[j].empty() ? stored_[j] : kept_[j]);
        if (j != i && !other.empty()) {
            held.insert(DeviceIdentity(other));
        } else if (j < i && other.empty()) {
            ++place;
        }
    }
    for (const SerialDevice& d : present) {
        if (held.count(DeviceIdentity(d.path)) == 0 && place-- == 0) {
            return ComTarget{ComSource::Automatic, d.path, d.label(), true};
        }
    }
    return ComTarget{};
}

ComTarget ComMapping::pick(int portNumber) {
    return pick(portNumber, DiscoverSerialDevices(roots_));
}

ComTarget ComMapping::pick(int portNumber, const std::vector<SerialDevice>& present) {
    const std::size_t i = Index(portNumber);
    ComTarget t = preview(portNumber, present);
    if (t.source == ComSource::Automatic) {
        if (!t.present) {
            // Said gone this once; the next pick follows the adapters again.
            kept_[i].clear();
            keptLabel_[i].clear();
        } else {
            kept_[i] = t.device;
            keptLabel_[i] = t.label;
        }
    }
    lastPick_ = t;
    return t;
}

PortFactory MakeMappedPortFactory(ComMapping& mapping,
                                  std::function<std::unique_ptr<SerialPort>()> makeSimulated) {
    return [&mapping, makeSimulated = std::move(makeSimulated)](
               const std::string& portName) -> std::unique_ptr<SerialPort> {
        const int n = PortMap::portNumberOf(portName);
        if (n == 0) {
            return nullptr;
        }
        const ComTarget t = mapping.pick(n);
        if (t.device.empty()) {
            return std::make_unique<AbsentPort>(
                t.describe(),
                "no serial adapter, and no serial port with a UART behind it, was found for " +
                    portName,
                ENODEV);
        }
        if (!t.present) {
            return std::make_unique<AbsentPort>(
                t.describe(), "the device is not there (was the adapter unplugged?)", ENOENT);
        }
        std::unique_ptr<SerialPort> port;
        if (IsSimulated(t.device)) {
            port = makeSimulated ? makeSimulated() : nullptr;
        } else {
            port = std::make_unique<PosixSerialPort>(t.device);
        }
        return port ? std::make_unique<MappedPort>(std::move(port), t, mapping.roots()) : nullptr;
    };
}

}  // namespace qx
