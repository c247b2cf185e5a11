#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/CliContext.h"
#include "cli/OptionValue.h"
#include "cli/ResultOutput.h"
#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/ParamFile.h"
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

// The parameter number as the editor reads it, but refused rather than clamped or read
// as 0 when empty: a script that names Pn 200 made a mistake.
int ParamNumber(const std::string& text) {
    return static_cast<int>(CheckedNumber("N", text, {0, kHighestParamNumber, true, ""}));
}

// Why a script's text for Pn `pn` is no value at all, before the range is known: a bit
// field needs exactly its width of binary digits, anything else a whole number (the
// editor would read "" and "-" as 0).
std::optional<std::string> ParamTextRefusal(const std::string& text, int pn) {
    const int width = ParamBitWidth(pn);
    const std::string refused = "VALUE: '" + text + "' ";
    if (width > 0 && (text.size() != static_cast<std::size_t>(width) ||
                      text.find_first_not_of("01") != std::string::npos)) {
        return refused + "is not " + std::to_string(width) + " binary digits for Pn " +
               std::to_string(pn);
    }
    if (text.empty() || text == "-" || !ParseParamText(text, width)) {
        return refused + "is not a whole number";
    }
    return std::nullopt;
}

// Why the value for Pn `pn` is refused once its range is known; the value as the drive
// gets it may be a 16-bit word typed unsigned, as in the editor.
std::optional<std::string> ParamRangeRefusal(const std::string& text, int pn,
                                             const UserParamTable& table) {
    const auto value = ParamValueFromText(text, pn, table.minimum[pn], table.maximum[pn]);
    if (value && *value >= table.minimum[pn] && *value <= table.maximum[pn]) {
        return std::nullopt;
    }
    return "VALUE: '" + text + "' is outside the range of Pn " + std::to_string(pn) + ", " +
           FormatParamValue(pn, table.minimum[pn]) + " to " +
           FormatParamValue(pn, table.maximum[pn]);
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
        // A file that cannot be a parameter file is refused before the port is touched.
        ParamImage check{};
        if (const auto error = ReadParamFile(*file, check)) {
            context.messages().show(*error, kTitleWarning);
            exitCode = kExitUsage;
            return;
        }
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
        const int pn = ParamNumber(*number);
        WithParamTable(context, exitCode, [&context, pn]() { PrintParam(context, pn); });
    });

    CLI::App* set = param->add_subcommand(
        "set",
        "Write a parameter within its range (refused otherwise); bit fields (Pn 8 to 14) as "
        "binary text such as 000101; a word may be given unsigned (Pn 2's 40613). Negative "
        "values after --, e.g. set -- 36 -100");
    set->add_option("N", *number, "Parameter number, 0 to 183")->required();
    set->add_option("VALUE", *value, "New value")->required();
    set->callback([&context, &exitCode, number, value]() {
        const int pn = ParamNumber(*number);
        if (const auto refusal = ParamTextRefusal(*value, pn)) {
            throw CLI::ValidationError(*refusal);
        }
        WithParamTable(context, exitCode, [&context, &exitCode, pn, value]() {
            if (const auto refusal =
                    ParamRangeRefusal(*value, pn, context.state().userParamTable)) {
                std::cerr << "quendrix-cli: " << *refusal << "; nothing was written" << std::endl;
                exitCode = kExitUsage;
                return;
            }
            ParamEditor editor(context.state().userParamTable,
                               context.state().identity.softwareVersion, context.messages());
            editor.open();
            editor.numberTextChanged(std::to_string(pn));
            editor.valueTextChanged(*value);
            if (editor.set(context.link()) != kStatusOk) {
                exitCode = kExitDriveFailure;
                return;
            }
            PrintParam(context, pn);
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
