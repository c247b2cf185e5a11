#include <iostream>

#include "cli/CliContext.h"

namespace qx::cli {

void RegisterLinkCommands(CLI::App& app, CliContext& context, int& exitCode) {
    CLI::App* identify = app.add_subcommand(
        "identify", "Connect to the drive and print its boot ROM, software and FPGA versions");
    identify->callback([&context, &exitCode]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        const DriveIdentity& id = context.state().identity;
        std::cout << "The BootROM Version is " << id.bootRomVersion << ".\n"
                  << "The Software Version is " << id.softwareVersion << ".\n"
                  << "The FPGA Version is " << id.fpgaVersion << "." << std::endl;
        exitCode = kExitOk;
    });
}

}  // namespace qx::cli
