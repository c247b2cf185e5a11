// quendrix-cli: the drive operations of Quendrix from a terminal. Every command first
// does what picking a COM port does in the window (open, probe, connect, identify),
// then its own exchanges, exactly as the window would send them.

#include <iostream>

#include "cli/CliContext.h"

int main(int argc, char** argv) {
    using namespace qx::cli;
    CLI::App app{"Quendrix: commission and tune an AC servo drive over a serial line"};
    app.require_subcommand(1);
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
    RegisterMonitorCommands(app, context, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    }
    return exitCode;
}
