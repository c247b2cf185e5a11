#include "link/PortMap.h"

#include "link/PosixSerialPort.h"

namespace qx {

std::optional<std::string> PortMap::assign(const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == assignment.size()) {
        return "expected N=DEVICE, for example 1=/dev/ttyUSB0 or 1=sim";
    }
    std::string number = assignment.substr(0, eq);
    if (number.size() == 4 && number.rfind("COM", 0) == 0) {
        number = number.substr(3);
    }
    if (number.size() != 1 || number[0] < '1' || number[0] > '4') {
        return "the port number must be 1 to 4";
    }
    setDevice(number[0] - '0', assignment.substr(eq + 1));
    return std::nullopt;
}

void PortMap::setDevice(int portNumber, std::string device) {
    if (portNumber >= 1 && portNumber <= kPortCount) {
        devices_[portNumber - 1] = std::move(device);
    }
}

const std::string& PortMap::device(int portNumber) const {
    const int n = (portNumber >= 1 && portNumber <= kPortCount) ? portNumber : 1;
    return devices_[n - 1];
}

int PortMap::portNumberOf(const std::string& portName) {
    if (portName.size() == 4 && portName.rfind("COM", 0) == 0 && portName[3] >= '1' &&
        portName[3] <= '4') {
        return portName[3] - '0';
    }
    return 0;
}

PortFactory MakePortFactory(const PortMap& map,
                            std::function<std::unique_ptr<SerialPort>()> makeSimulated) {
    return [map, makeSimulated = std::move(makeSimulated)](
               const std::string& portName) -> std::unique_ptr<SerialPort> {
        const int n = PortMap::portNumberOf(portName);
        if (n == 0) {
            return nullptr;
        }
        const std::string& device = map.device(n);
        if (device.empty()) {
            return nullptr;
        }
        if (device == PortMap::kSimulatedDevice) {
            return makeSimulated ? makeSimulated() : nullptr;
        }
        return std::make_unique<PosixSerialPort>(device);
    };
}

}  // namespace qx
