// quendrix-drive-sim: a simulated drive served on a pseudo-terminal. Prints the device
// path on the first line of standard output, then serves until interrupted. The cable
// can be pulled (--unplug, or SIGUSR1 now and SIGUSR2 to plug it back in); each time it
// comes back the new device path follows on a line of its own.

#include <signal.h>
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

extern "C" void OnSignal(int signal) {
    if (gServer == nullptr) {
        return;
    }
    if (signal == SIGUSR1) {
        gServer->unplugNow();
    } else if (signal == SIGUSR2) {
        gServer->plugIn();
    } else {
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
    std::string unplug;
    std::string load;
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
    app.add_option(
        "--load", load,
        "The motor behind the step tests (" + qx::sim::SimLoadNames() + "; default standard)");
    app.add_option("--link", linkPath,
                   "Also keep a symbolic link to the device at this path (absent while unplugged)");
    app.add_option("--unplug", unplug,
                   "AFTER:FOR_MS: pull the cable when request AFTER + 1 arrives, plug it back in "
                   "FOR_MS later as a new device (SIGUSR1 pulls it now, SIGUSR2 plugs it in)");
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

    if (!load.empty()) {
        if (auto err = qx::sim::ParseLoad(load, options)) {
            std::cerr << "quendrix-drive-sim: --load: " << *err << "\n";
            return 2;
        }
    }

    qx::sim::UnplugPlan plan;
    if (!unplug.empty()) {
        if (auto err = qx::sim::ParseUnplugSpec(unplug, plan)) {
            std::cerr << "quendrix-drive-sim: --unplug: " << *err << "\n";
            return 2;
        }
    }

    // The control signals arrive only while the server waits, so none slips in between
    // its look at the flags and its wait.
    sigset_t control;
    sigemptyset(&control);
    for (const int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        sigaddset(&control, s);
    }
    sigset_t waitMask;
    ::sigprocmask(SIG_BLOCK, &control, &waitMask);
    // Nobody reading the device lines any more is no reason to stop serving.
    std::signal(SIGPIPE, SIG_IGN);

    auto drive = qx::sim::MakeSimDrive(options, qx::steadyClock().nowUs());
    qx::sim::PtyDriveServer server(drive, options.pace);
    server.setLinkPath(linkPath);
    server.setWaitSignalMask(waitMask);
    if (!unplug.empty()) {
        server.setUnplugPlan(plan);
    }
    server.setReplugListener([](const std::string& path) { std::cout << path << std::endl; });
    if (!server.start()) {
        std::cerr << "quendrix-drive-sim: " << server.error() << "\n";
        return 1;
    }
    std::cout << server.devicePath() << std::endl;

    gServer = &server;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        ::sigaction(s, &action, nullptr);
    }
    server.run();
    if (!server.error().empty()) {
        std::cerr << "quendrix-drive-sim: " << server.error() << "\n";
        return 1;
    }
    return 0;
}
