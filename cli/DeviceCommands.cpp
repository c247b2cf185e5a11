#include <iostream>

#include "cli/CliContext.h"
#include "link/ComChoices.h"

namespace qx::cli {

void RegisterDeviceCommands(CLI::App& app, CliContext& context, int& exitCode) {
    CLI::App* devices =
        app.add_subcommand("devices",
                           "List the serial devices found and what COM1 to COM4 open (no drive is "
                           "addressed)");
    devices->callback([&context, &exitCode]() {
        const ComMapping& mapping = context.comMapping();
        for (const std::string& line :
             DevicesReport(DiscoverSerialDevices(mapping.roots()), mapping)) {
            std::cout << line << "\n";
        }
        std::cout.flush();
        exitCode = kExitOk;
    });
}

}  // namespace qx::cli
