#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CliContext.h"
#include "link/Clock.h"
#include "monitor/PortLamps.h"
#include "monitor/ServoStateValues.h"
#include "monitor/StatusPoll.h"

namespace qx::cli {

namespace {

constexpr int kDefaultPollCount = 10;
constexpr uint32_t kDefaultIntervalMs = 300;  // the status monitor's refresh

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
        ->check(CLI::NonNegativeNumber);
    monitor->add_option("--interval", *interval, "Pause between polls in ms (300)");
    monitor->callback([&context, &exitCode, count, interval]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        const bool withDcBus = ShowsDcBus(context.state().identity.softwareVersion);
        PrintStatusHeader(withDcBus);
        DriveStatus& status = context.state().driveStatus;
        Clock& clock = context.link().clock();
        uint32_t last = kStatusOk;
        for (int n = 0; *count == 0 || n < *count; ++n) {
            if (n > 0) {
                clock.sleepMs(*interval);
            }
            last = RunStatusPoll(context.link(), status);
            if (last != kStatusOk) {
                std::printf("no status from the drive (status %u)\n", last);
                std::fflush(stdout);
                continue;
            }
            PrintStatusLine(ComputeServoStateValues(LoadStatusWords(status)), withDcBus);
        }
        exitCode = last == kStatusOk ? kExitOk : kExitDriveFailure;
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
