#include "cli/CliContext.h"

#include <filesystem>
#include <iostream>
#include <sstream>

#include "link/Clock.h"
#include "link/ComSettingsFile.h"
#include "link/ConnectDrive.h"
#include "sim/DriveStatusOptions.h"
#include "sim/SimPort.h"

namespace qx::cli {

void StderrMessageSink::show(const std::string& text, const std::string& title) {
    std::cerr << title << ": " << text << std::endl;
}

void StderrMessageSink::showDetailed(const std::string& text, const std::string& title,
                                     const std::string& detail) {
    std::cerr << title << ": " << text << "\n";
    std::istringstream lines(detail);
    for (std::string line; std::getline(lines, line);) {
        std::cerr << "  " << line << "\n";
    }
    std::cerr.flush();
}

CliContext::CliContext() {
    ApplyStartupValues(state_);
}

void CliContext::addGlobalOptions(CLI::App& app) {
    app.add_option("--port", port_,
                   "COM1 to COM4, a serial device such as /dev/ttyUSB0 or a name under "
                   "/dev/serial/by-id (either taken as COM1), or 'sim' for the built-in "
                   "simulated drive (default COM1)");
    app.add_option("--com", comAssignments_,
                   "N=DEVICE: map COM N (1 to 4) to a device or to 'sim' for this run; without "
                   "it COM N opens what the window's Port Settings chose, or follows the "
                   "adapters found ('devices' lists them)");
    // Not in --help: where the tests' made-up /dev, /sys and /proc are.
    app.add_option("--device-root", deviceRoot_, "Look for devices under DIR/dev and DIR/sys")
        ->group("");
    app.add_option("--sim-software", simOptions_.config.softwareVersion,
                   "Simulated drive: software version (913)");
    app.add_option("--sim-bootrom", simOptions_.config.bootRomVersion,
                   "Simulated drive: boot ROM version (101)");
    app.add_option("--sim-fpga", simOptions_.config.fpgaVersion,
                   "Simulated drive: FPGA version (258)");
    app.add_flag("--sim-pace", simOptions_.pace,
                 "Simulated drive: pace every byte at 115200 baud 8O2");
    app.add_option("--sim-fault", simFaults_, std::string("Simulated drive: ") + sim::kFaultHelp);
    app.add_option("--sim-random-faults", simOptions_.randomFaultProbability,
                   "Simulated drive: probability (0 to 1) of a random fault per request")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--sim-silent-spells", simOptions_.silentSpellProbability,
                   "Simulated drive: probability (0 to 1) per request of a silent spell of 1 to "
                   "2 s")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--sim-seed", simOptions_.randomFaultSeed,
                   "Simulated drive: seed of the random faults and silent spells");
    app.add_option("--sim-away", simAway_,
                   "Simulated drive: AFTER_MS:FOR_MS, go silent for a while, then come back");
    sim::AddDriveStatusOptions(app, simOptions_.status, "sim-", "Simulated drive: ");
    app.add_option("--sim-load", simLoad_,
                   "Simulated drive: the motor behind its step tests (" + sim::SimLoadNames() +
                       "; default standard)");
}

std::optional<std::string> CliContext::finishOptions() {
    if (!deviceRoot_.empty()) {
        mapping_.setRoots(DeviceRoots::Under(deviceRoot_));
    }
    for (const std::string& a : comAssignments_) {
        if (auto err = map_.assign(a)) {
            return "--com " + a + ": " + *err;
        }
    }
    if (port_ == PortMap::kSimulatedDevice) {
        map_.setDevice(1, PortMap::kSimulatedDevice);
        portNumber_ = 1;
    } else if (const int n = PortMap::portNumberOf(port_); n != 0) {
        portNumber_ = n;
    } else if (!port_.empty() && port_.front() == '/') {
        map_.setDevice(1, port_);
        portNumber_ = 1;
    } else if (const auto byId = mapping_.roots().dev / "serial" / "by-id" / port_;
               !port_.empty() && port_.find('/') == std::string::npos && port_ != "." &&
               port_ != ".." && std::filesystem::exists(byId)) {
        map_.setDevice(1, byId.string());
        portNumber_ = 1;
    } else {
        return "--port " + port_ +
               ": expected COM1 to COM4, a device path, a name under /dev/serial/by-id or 'sim'";
    }
    mapping_.setCommandLine(map_);
    const auto stored = ReadStoredComChoices(ComSettingsPath());
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        mapping_.setStored(n, stored[static_cast<std::size_t>(n - 1)]);
    }
    for (const std::string& f : simFaults_) {
        sim::FaultRule rule;
        if (auto err = sim::ParseFaultRule(f, rule)) {
            return "--sim-fault " + f + ": " + *err;
        }
        simOptions_.faults.push_back(rule);
    }
    if (!simAway_.empty()) {
        if (auto err = sim::ParseAwaySpec(simAway_, simOptions_)) {
            return "--sim-away " + simAway_ + ": " + *err;
        }
    }
    if (!simLoad_.empty()) {
        if (auto err = sim::ParseLoad(simLoad_, simOptions_)) {
            return "--sim-load " + simLoad_ + ": " + *err;
        }
    }

    Clock& clock = steadyClock();
    simDrive_ = sim::MakeSimDrive(simOptions_, clock.nowUs());
    auto drive = simDrive_;
    const bool pace = simOptions_.pace;
    link_ = std::make_unique<DriveLink>(
        state_.link, clock, MakeMappedPortFactory(mapping_, [drive, pace, &clock]() {
            return std::make_unique<sim::SimPort>(drive, clock, pace);
        }));
    return std::nullopt;
}

bool CliContext::connect() {
    if (link_->OpenDrivePort(messages_, portNumber_) != 1) {
        return false;  // the message's detail gave the system's reason
    }
    return ConnectDrive(*link_, state_.identity, messages_) == 1;
}

bool CliContext::reopen() {
    class Silent final : public MessageSink {
      public:
        void show(const std::string&, const std::string&) override {}
    } silent;
    return link_->OpenDrivePort(silent, portNumber_) == 1;
}

}  // namespace qx::cli
