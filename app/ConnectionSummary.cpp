#include "app/ConnectionSummary.h"

namespace qx {

std::vector<std::string> ConnectionSummary(const SharedState& state, const std::string& portName,
                                           const std::string& device,
                                           const std::string& lastOutcome) {
    std::vector<std::string> lines;
    if (portName.empty()) {
        lines.push_back("Port: none picked yet (COM menu)");
    } else {
        lines.push_back("Port: " + portName +
                        (device.empty() ? ", no device found for it" : " on " + device));
    }

    const bool connected = state.link.driveConnected.load() != 0;
    const bool open = state.link.portOpen.load() != 0;
    lines.push_back(
        connected ? "Drive: connected"
                  : (open ? "Drive: not connected (the port is open)" : "Drive: not connected"));

    const DriveIdentity& id = state.identity;
    if (id.softwareVersion == 0 && id.versionAccepted.load() == 0) {
        lines.push_back("Versions: none read yet");
    } else {
        std::string versions = "Versions: boot ROM " + std::to_string(id.bootRomVersion) +
                               ", software " + std::to_string(id.softwareVersion) + ", FPGA " +
                               std::to_string(id.fpgaVersion);
        if (id.versionAccepted.load() == 0) {
            versions += " (software version not supported)";
        }
        if (!connected) {
            versions += " (the drive identified last)";
        }
        lines.push_back(versions);
    }
    lines.push_back("Last operation: " +
                    (lastOutcome.empty() ? std::string("none yet") : lastOutcome));
    return lines;
}

}  // namespace qx
