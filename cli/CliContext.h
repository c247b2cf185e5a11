#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "link/PortMap.h"
#include "sim/SimOptions.h"

namespace qx::cli {

enum ExitCode : int { kExitOk = 0, kExitDriveFailure = 1, kExitUsage = 2 };

// Message boxes on a terminal: "Title: text" on stderr.
class StderrMessageSink final : public MessageSink {
  public:
    void show(const std::string& text, const std::string& title) override;
};

// What every command shares: the port selection, the simulated drive's set-up, the
// link and the shared records.
class CliContext {
  public:
    CliContext();

    // Global options: --port, --com, and the simulated drive's options.
    void addGlobalOptions(CLI::App& app);
    // Checks the global options after parsing; returns an explanation on error.
    std::optional<std::string> finishOptions();

    // What picking the COM port does in the GUI: open, probe, connect and identify.
    // Prints the operating system's reason too when the port could not be opened.
    bool connect();

    DriveLink& link() { return *link_; }
    SharedState& state() { return state_; }
    MessageSink& messages() { return messages_; }
    sim::SimDrive* simulatedDrive() { return simDrive_.get(); }

  private:
    std::string port_ = "COM1";
    std::vector<std::string> comAssignments_;
    std::vector<std::string> simFaults_;
    std::string simAway_;
    std::string simLoad_;
    sim::SimOptions simOptions_;
    PortMap map_;
    int portNumber_ = 1;
    SharedState state_;
    StderrMessageSink messages_;
    std::shared_ptr<sim::SimDrive> simDrive_;
    std::unique_ptr<DriveLink> link_;
};

// Each subsystem adds its commands here.
void RegisterLinkCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterMotorCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterParamsCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterCaptureCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterMonitorCommands(CLI::App& app, CliContext& context, int& exitCode);
// "capture tune", under the capture command.
void RegisterTuneCommand(CLI::App& capture, CliContext& context, int& exitCode);

}  // namespace qx::cli
