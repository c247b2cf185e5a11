#include "link/PortFailure.h"

#include <cerrno>
#include <cstring>

#include "link/DriveLink.h"

namespace qx {

namespace {

std::string Reason(const PortFailure& f) {
    if (!f.reason.empty()) {
        return f.reason;
    }
    if (f.error != 0) {
        return std::strerror(f.error);
    }
    switch (f.stage) {
        case PortStage::Create:
            return "the port could not be opened";
        case PortStage::Setup:
            return "the line settings were refused";
        case PortStage::Probe:
            break;
    }
    return "no valid reply to the probe request within " + std::to_string(kProbeBudgetMs) + " ms";
}

std::string Remedy(const PortFailure& f) {
    const std::string again = "pick " + f.portName + " again";
    const std::string choose =
        "choose the device in COM > Port Settings... (quendrix-cli: --port or --com)";
    if (f.stage == PortStage::Probe) {
        return "check that the drive is powered, that the cable sits in its serial connector and "
               "that this is the adapter wired to it; the drive talks at 115200 baud, 8 data bits, "
               "odd parity, 2 stop bits";
    }
    switch (f.error) {
        case EACCES:
        case EPERM:
            return "serial devices belong to the dialout group: add your user to it (sudo adduser "
                   "$USER dialout), log out and in again, then " +
                   again;
        case EBUSY:
            return "another program holds the port: a terminal program (minicom, screen, picocom), "
                   "another Quendrix, or ModemManager, which probes a newly plugged USB modem "
                   "for a while. Close it, then " +
                   again;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "plug the adapter in and " + again + ", or " + choose;
        default:
            break;
    }
    if (f.stage == PortStage::Setup) {
        return "the device takes no serial line settings, so it is no serial port: " + choose;
    }
    return {};
}

}  // namespace

std::string PortFailureDetail(const PortFailure& f) {
    std::string detail = "Device: " + (f.device.empty() ? std::string("none") : f.device) + "\n";
    detail += "Reason: " + Reason(f);
    if (const std::string remedy = Remedy(f); !remedy.empty()) {
        detail += "\nRemedy: " + remedy;
    }
    return detail;
}

}  // namespace qx
