#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "link/ComMapping.h"
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
    // The detail follows on lines of its own, indented.
    void showDetailed(const std::string& text, const std::string& title,
                      const std::string& detail) override;
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
    bool connect();
    // Opens and probes the port again after its device went away (a pulled cable),
    // without messages: while the device is away every try fails. True once it answers.
    bool reopen();

    DriveLink& link() { return *link_; }
    SharedState& state() { return state_; }
    MessageSink& messages() { return messages_; }
    sim::SimDrive* simulatedDrive() { return simDrive_.get(); }
    // Which device each COM port reaches: the command line's, else the window's Port
    // Settings, else the adapters found.
    const ComMapping& comMapping() const { return mapping_; }

  private:
    std::string port_ = "COM1";
    std::vector<std::string> comAssignments_;
    std::vector<std::string> simFaults_;
    std::string simAway_;
    std::string deviceRoot_;
    std::string simLoad_;
    sim::SimOptions simOptions_;
    PortMap map_;
    ComMapping mapping_;
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
// The "params" commands that work on files: show, diff, edit.
void RegisterOfflineParamsCommands(CLI::App& params, CliContext& context, int& exitCode);
void RegisterCaptureCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterMonitorCommands(CLI::App& app, CliContext& context, int& exitCode);
void RegisterDeviceCommands(CLI::App& app, CliContext& context, int& exitCode);
// "capture tune", under the capture command.
void RegisterTuneCommand(CLI::App& capture, CliContext& context, int& exitCode);

// The loop a capture command names ("current", "speed", "position"), and the unit its
// values are given in.
CaptureKind LoopKind(const std::string& name);
const char* UnitOf(CaptureKind kind);

}  // namespace qx::cli
