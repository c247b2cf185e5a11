#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CliContext.h"
#include "cli/OptionValue.h"
#include "link/Clock.h"
#include "monitor/PortLamps.h"
#include "monitor/ServoStateValues.h"
#include "monitor/StatusPoll.h"

namespace qx::cli {

namespace {

constexpr int kDefaultPollCount = 10;
constexpr uint32_t kDefaultIntervalMs = 300;  // the status monitor's refresh
constexpr double kMaxPollCount = 1e9;
constexpr double kMaxIntervalMs = 3'600'000;  // an hour
// While the device is away, it is looked for no more often than this.
constexpr uint32_t kReopenPauseMs = 500;

void PrintStatusHeader(bool withDcBus) {
    std::printf("%10s %8s %12s %10s %10s %8s %12s %8s %6s%s\n", "Torque(A)", "Speed", "Position",
                "PosErr", "TorqueIns", "SpeedIns", "PositionIns", "SpeedErr", "Alarm",
                withDcBus ? "  DCBus(V)" : "");
}

void PrintStatusLine(const ServoStateValues& v, bool withDcBus) {
    std::printf("%10s %8d %12d %10d %10s %8d %12d %8d %6d", FormatGeneral(v.torque).c_str(),
                v.speed, v.position, v.positionError, FormatGeneral(v.torqueInstruction).c_str(),
                v.speedInstruction, v.positionInstruction, v.speedError, v.alarmNumber);
    if (withDcBus) {
        std::printf(" %9d", v.dcBus);
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

void RegisterMonitorCommands(CLI::App& app, CliContext& context, int& exitCode) {
    auto* monitor = app.add_subcommand(
        "monitor",
        "Poll the drive's live status and print it, one line per poll, as the status "
        "monitor shows it (speeds in rpm, torques in A, positions in pulses)");
    auto count = std::make_shared<int>(kDefaultPollCount);
    auto interval = std::make_shared<uint32_t>(kDefaultIntervalMs);
    monitor->add_option("--count", *count, "Number of polls, 0 for no end (10)")
        ->check(InRange({0, kMaxPollCount, true, ""}));
    monitor->add_option("--interval", *interval, "Pause between polls in ms (300)")
        ->check(InRange({0, kMaxIntervalMs, true, "ms"}));
    monitor->callback([&context, &exitCode, count, interval]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        const bool withDcBus = ShowsDcBus(context.state().identity.softwareVersion);
        PrintStatusHeader(withDcBus);
        DriveLink& link = context.link();
        DriveStatus& status = context.state().driveStatus;
        Clock& clock = link.clock();
        bool failed = false;
        bool gone = false;  // the device hung up (a pulled cable) and has not come back
        for (int n = 0; *count == 0 || n < *count; ++n) {
            if (n > 0) {
                clock.sleepMs(gone ? std::max(*interval, kReopenPauseMs) : *interval);
            }
            if (gone) {
                if (!context.reopen()) {
                    failed = true;
                    continue;
                }
                gone = false;
                std::cerr << "quendrix-cli: " << link.portName() << " is back; polling goes on"
                          << std::endl;
            }
            const uint32_t result = RunStatusPoll(link, status);
            if (result == kStatusOk) {
                PrintStatusLine(ComputeServoStateValues(LoadStatusWords(status)), withDcBus);
                continue;
            }
            failed = true;
            if (link.state().portOpen == 0) {
                gone = true;
                std::cerr << "quendrix-cli: " << link.portError()
                          << "; polling goes on when it is back" << std::endl;
            } else {
                std::cerr << "quendrix-cli: no status from the drive (status " << result << ")"
                          << std::endl;
            }
        }
        exitCode = failed ? kExitDriveFailure : kExitOk;
    });

    auto* ports = app.add_subcommand(
        "ports", "Poll the drive once and print its twenty connector and encoder signals");
    ports->callback([&context, &exitCode]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        DriveStatus& status = context.state().driveStatus;
        const uint32_t result = RunStatusPoll(context.link(), status);
        if (result != kStatusOk) {
            std::cerr << "quendrix-cli: no status from the drive (status " << result << ")"
                      << std::endl;
            exitCode = kExitDriveFailure;
            return;
        }
        const LampStates lamps = ComputeLampStates(LoadStatusWords(status));
        int group = -1;
        for (int i = 0; i < kLampCount; ++i) {
            const LampInfo& lamp = kLamps[i];
            if (static_cast<int>(lamp.group) != group) {
                group = static_cast<int>(lamp.group);
                std::printf("%s\n", kLampGroupCaptions[group]);
            }
            std::printf("  %-16s %s\n", lamp.label, lamps[i] == 1 ? "on" : "off");
        }
        std::fflush(stdout);
        exitCode = kExitOk;
    });
}

}  // namespace qx::cli
