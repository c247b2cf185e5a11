// quendrix-drive-sim: a simulated drive served on a pseudo-terminal. Prints the device
// path on the first line of standard output, then serves until interrupted.

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "link/Clock.h"
#include "sim/DriveStatusOptions.h"
#include "sim/PtyDriveServer.h"
#include "sim/SimOptions.h"

namespace {

qx::sim::PtyDriveServer* gServer = nullptr;

extern "C" void OnSignal(int) {
    if (gServer != nullptr) {
        gServer->stop();
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulated Quendrix servo drive on a pseudo-terminal"};
    qx::sim::SimOptions options;
    std::vector<std::string> faults;
    std::string away;
    std::string linkPath;
    app.add_option("--software", options.config.softwareVersion, "Software version (913)");
    app.add_option("--bootrom", options.config.bootRomVersion, "Boot ROM version (101)");
    app.add_option("--fpga", options.config.fpgaVersion, "FPGA version (258)");
    app.add_flag("--pace", options.pace, "Pace every byte at 115200 baud 8O2");
    app.add_option("--fault", faults, qx::sim::kFaultHelp);
    app.add_option("--random-faults", options.randomFaultProbability,
                   "Probability (0 to 1) that a request meets a random fault")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--silent-spells", options.silentSpellProbability,
                   "Probability (0 to 1) that a request begins a silent spell of 1 to 2 s")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--seed", options.randomFaultSeed,
                   "Seed of the random faults and silent spells");
    app.add_option("--away", away, "AFTER_MS:FOR_MS: go silent for a while, then come back");
    qx::sim::AddDriveStatusOptions(app, options.status, "", "Status monitor: ");
    app.add_option("--link", linkPath, "Also make a symbolic link to the device at this path");
    CLI11_PARSE(app, argc, argv);

    for (const std::string& f : faults) {
        qx::sim::FaultRule rule;
        if (auto err = qx::sim::ParseFaultRule(f, rule)) {
            std::cerr << "quendrix-drive-sim: --fault: " << *err << "\n";
            return 2;
        }
        options.faults.push_back(rule);
    }
    if (!away.empty()) {
        if (auto err = qx::sim::ParseAwaySpec(away, options)) {
            std::cerr << "quendrix-drive-sim: --away: " << *err << "\n";
            return 2;
        }
    }

    auto drive = qx::sim::MakeSimDrive(options, qx::steadyClock().nowUs());
    qx::sim::PtyDriveServer server(drive, options.pace);
    if (!server.start()) {
        std::cerr << "quendrix-drive-sim: " << server.error() << "\n";
        return 1;
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(server.devicePath().c_str(), linkPath.c_str()) != 0) {
            std::perror(("quendrix-drive-sim: " + linkPath).c_str());
            return 1;
        }
    }
    std::cout << server.devicePath() << std::endl;

    gServer = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    server.run();
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
    }
    return 0;
}
