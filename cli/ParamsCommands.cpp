#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/CliContext.h"
#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "params/ParamText.h"

namespace qx::cli {

namespace {

class QuietProgress final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage, int) override {}
};

// "Parameters Setting..." on a terminal: the load runs on this thread, and the "editor"
// is whatever the command does with the loaded table.
class TerminalDialogs final : public ParamSettingDialogs {
  public:
    TerminalDialogs(CliContext& context, std::function<void()> editor)
        : context_(context), editor_(std::move(editor)) {}
    int runLoadingDialog() override {
        QuietProgress progress;
        return LoadParamTableInline(context_.link(), context_.state(), progress);
    }
    void runEditor() override { editor_(); }

  private:
    CliContext& context_;
    std::function<void()> editor_;
};

// Connects, loads the table and runs `use` on it; the exit code says how it went.
void WithParamTable(CliContext& context, int& exitCode, const std::function<void()>& use) {
    if (!context.connect()) {
        exitCode = kExitDriveFailure;
        return;
    }
    bool ran = false;
    TerminalDialogs dialogs(context, [&]() {
        ran = true;
        use();
    });
    ParametersSettingCommand(context.state().parameterTable, dialogs, context.messages());
    if (!ran) {
        exitCode = kExitDriveFailure;
    }
}

std::string TitleOf(CliContext& context, int pn) {
    std::string title;
    std::string help;
    BuildParamText(pn, context.state().identity.softwareVersion, title, help);
    return title;
}

std::string CsvField(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

void Dump(CliContext& context, bool csv) {
    const UserParamTable& table = context.state().userParamTable;
    if (csv) {
        std::cout << "Pn,Title,Value,Minimum,Maximum\n";
    } else {
        std::cout << std::left << std::setw(5) << "Pn" << std::setw(50) << "Title" << std::right
                  << std::setw(8) << "Value" << std::setw(9) << "Minimum" << std::setw(9)
                  << "Maximum"
                  << "\n";
    }
    for (int pn = 0; pn <= table.highestParamNumber; ++pn) {
        const std::string title = TitleOf(context, pn);
        const std::string value = FormatParamValue(pn, table.value[pn]);
        const std::string minimum = FormatParamValue(pn, table.minimum[pn]);
        const std::string maximum = FormatParamValue(pn, table.maximum[pn]);
        if (csv) {
            std::cout << pn << "," << CsvField(title) << "," << value << "," << minimum << ","
                      << maximum << "\n";
        } else {
            std::cout << std::left << std::setw(5) << pn << std::setw(50) << title << std::right
                      << std::setw(8) << value << std::setw(9) << minimum << std::setw(9) << maximum
                      << "\n";
        }
    }
    std::cout << std::flush;
}

void PrintParam(CliContext& context, int pn) {
    const UserParamTable& table = context.state().userParamTable;
    std::cout << "Pn " << pn << " = " << FormatParamValue(pn, table.value[pn]) << "  ["
              << FormatParamValue(pn, table.minimum[pn]) << ", "
              << FormatParamValue(pn, table.maximum[pn]) << "]  " << TitleOf(context, pn)
              << std::endl;
}

// The parameter number as the editor reads it, but refused rather than clamped: a
// script that names Pn 200 made a mistake.
std::optional<int> ParamNumber(const std::string& text, CliContext& context) {
    const auto pn = ParseParamText(text, 0);
    if (!pn) {
        context.messages().show(kInvalidInputText, kTitleWarning);
        return std::nullopt;
    }
    if (!IsValidParamNumber(*pn)) {
        std::cerr << "quendrix-cli: Pn " << *pn << " does not exist; parameters are Pn 0 to "
                  << kHighestParamNumber << std::endl;
        return std::nullopt;
    }
    return *pn;
}

int ExitFor(CommandOutcome outcome) {
    return outcome == CommandOutcome::Succeeded ? kExitOk : kExitDriveFailure;
}

}  // namespace

void RegisterParamsCommands(CLI::App& app, CliContext& context, int& exitCode) {
    CLI::App* params = app.add_subcommand("params", "The drive's parameters as a whole");
    params->require_subcommand(1);

    CLI::App* dump = params->add_subcommand(
        "dump", "Load the parameter table and print Pn, title, value, minimum and maximum");
    auto csv = std::make_shared<bool>(false);
    dump->add_flag("--csv", *csv, "Comma-separated values with a header line");
    dump->callback([&context, &exitCode, csv]() {
        WithParamTable(context, exitCode, [&context, csv]() { Dump(context, *csv); });
    });

    auto file = std::make_shared<std::string>();
    CLI::App* upload = params->add_subcommand(
        "upload", "Read all parameter words 0x0200 to 0x03FF into a .par file (1024 bytes)");
    upload->add_option("FILE", *file, "Parameter file to write")->required();
    upload->callback([&context, &exitCode, file]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        std::string lastPath;
        exitCode = ExitFor(ParametersUploadCommand(
            context.link(), context.state().parameterImage, context.messages(),
            [file]() { return std::optional<std::string>(*file); }, lastPath));
    });

    CLI::App* download = params->add_subcommand(
        "download", "Write a .par file into the drive and store it in EEPROM");
    // The file is checked when it is read, so its errors carry the system's reason.
    download->add_option("FILE", *file, "Parameter file to read")->required();
    download->callback([&context, &exitCode, file]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        std::string lastPath;
        exitCode = ExitFor(ParametersDownloadCommand(
            context.link(), context.state().parameterImage, context.messages(),
            [file]() { return std::optional<std::string>(*file); }, lastPath));
    });

    RegisterOfflineParamsCommands(*params, context, exitCode);

    CLI::App* param = app.add_subcommand("param", "One parameter");
    param->require_subcommand(1);
    auto number = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();

    CLI::App* get = param->add_subcommand("get", "Print a parameter's value and range");
    get->add_option("N", *number, "Parameter number, 0 to 183")->required();
    get->callback([&context, &exitCode, number]() {
        const auto pn = ParamNumber(*number, context);
        if (!pn) {
            exitCode = kExitUsage;
            return;
        }
        WithParamTable(context, exitCode, [&context, pn]() { PrintParam(context, *pn); });
    });

    CLI::App* set = param->add_subcommand(
        "set",
        "Write a parameter, clamped to its range as the editor does; bit fields (Pn 8 to "
        "14) as binary text such as 000101. Negative values after --, e.g. set -- 36 -100");
    set->add_option("N", *number, "Parameter number, 0 to 183")->required();
    set->add_option("VALUE", *value, "New value")->required();
    set->callback([&context, &exitCode, number, value]() {
        const auto pn = ParamNumber(*number, context);
        if (!pn) {
            exitCode = kExitUsage;
            return;
        }
        WithParamTable(context, exitCode, [&context, &exitCode, pn, value]() {
            ParamEditor editor(context.state().userParamTable,
                               context.state().identity.softwareVersion, context.messages());
            editor.open();
            editor.numberTextChanged(std::to_string(*pn));
            // The whole text at once: it is read as a field being left.
            if (!editor.valueTextChanged(*value) || !editor.valueFieldLeft()) {
                exitCode = kExitUsage;
                return;
            }
            const auto typed = ParseParamText(*value, ParamBitWidth(*pn));
            if (typed && *typed != editor.value()) {
                std::cerr << "quendrix-cli: " << *value << " is outside the range of Pn " << *pn
                          << "; " << editor.valueText() << " is written instead" << std::endl;
            }
            if (editor.set(context.link()) != kStatusOk) {
                exitCode = kExitDriveFailure;
                return;
            }
            PrintParam(context, *pn);
        });
    });

    CLI::App* eeprom = app.add_subcommand("eeprom", "The drive's EEPROM");
    eeprom->require_subcommand(1);
    CLI::App* save = eeprom->add_subcommand("save", "Store the drive's parameters in EEPROM");
    save->callback([&context, &exitCode]() {
        exitCode = context.connect()
                       ? ExitFor(SaveToEepromCommand(context.link(), context.messages()))
                       : kExitDriveFailure;
    });
    CLI::App* defaults =
        eeprom->add_subcommand("defaults", "Restore the drive's parameters from EEPROM");
    defaults->callback([&context, &exitCode]() {
        exitCode = context.connect()
                       ? ExitFor(LoadDefaultCommand(context.link(), context.messages()))
                       : kExitDriveFailure;
    });
}

}  // namespace qx::cli
