// quendrix-cli: the drive operations of Quendrix from a terminal. Every command first
// does what picking a COM port does in the window (open, probe, connect, identify),
// then its own exchanges, exactly as the window would send them.

#include <iostream>

#include "cli/CliContext.h"
#include "cli/ResultOutput.h"

int main(int argc, char** argv) {
    using namespace qx::cli;
    CLI::App app{"Quendrix: commission and tune an AC servo drive over a serial line"};
    app.require_subcommand(0, 1);
    app.footer(
        "Exit status: 0 on success, 1 when the drive failed, 2 on a usage error.\n"
        "Messages of the tool go to stderr as \"Title: text\"; results to stdout.");
    CliContext context;
    context.addGlobalOptions(app);
    int exitCode = kExitOk;
    app.parse_complete_callback([&]() {
        if (auto err = context.finishOptions()) {
            throw CLI::ValidationError(*err);
        }
    });
    RegisterLinkCommands(app, context, exitCode);
    RegisterMotorCommands(app, context, exitCode);
    RegisterParamsCommands(app, context, exitCode);
    RegisterCaptureCommands(app, context, exitCode);
    RegisterMonitorCommands(app, context, exitCode);
    RegisterDeviceCommands(app, context, exitCode);

    // Set after the commands exist, so only the top level collects unknown words.
    app.allow_extras();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (app.get_subcommands().empty()) {
        const auto rest = app.remaining();
        if (rest.empty()) {
            std::cerr << "quendrix-cli: a command is required\n";
        } else {
            std::cerr << "quendrix-cli: unknown command '" << rest.front() << "'\n";
        }
        std::cerr << "Run with --help for the commands." << std::endl;
        return kExitUsage;
    }
    return FinishStandardOutput(exitCode);
}
