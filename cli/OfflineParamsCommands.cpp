// The parameter file commands that need no drive, and the comparison that may use one:
// params show, params diff, params edit.

#include <iomanip>
#include <iostream>
#include <memory>

#include "cli/CliContext.h"
#include "cli/ResultOutput.h"
#include "params/ParamFile.h"
#include "params/ParamFileDocument.h"
#include "params/ParamSheet.h"
#include "params/ParamText.h"

namespace qx::cli {

namespace {

// Exit statuses of "params diff", as diff(1) has them.
enum DiffExit : int { kDiffEqual = 0, kDiffDifferent = 1, kDiffTrouble = 2 };

constexpr const char* kDriveSide = "drive";
constexpr int kTitleWidth = 50;
constexpr int kValueWidth = 10;

void Refuse(const std::string& argument, const std::string& why) {
    std::cerr << "quendrix-cli: " << argument << ": " << why << std::endl;
}

// One line of a table: Pn, title, then the value columns.
void PrintRow(bool csv, const std::string& pn, const std::string& title,
              const std::vector<std::string>& values, bool header = false) {
    if (csv) {
        std::cout << pn << "," << (header ? title : CsvField(title));
        for (const std::string& v : values) {
            std::cout << "," << v;
        }
    } else {
        std::cout << std::left << std::setw(5) << pn << std::setw(kTitleWidth) << title
                  << std::right;
        // A space before each column keeps long file names in the header apart.
        for (const std::string& v : values) {
            std::cout << ' ' << std::setw(kValueWidth - 1) << v;
        }
    }
    std::cout << "\n";
}

bool ReadFileArgument(const std::string& path, ParamImage& image) {
    if (const auto error = ReadParamFile(path, image)) {
        Refuse(path, *error);
        return false;
    }
    return true;
}

void Show(const ParamImage& image, bool csv) {
    ParamSheet sheet(ParamWordInImage(image, 0));
    sheet.setValues(ParamValuesOfImage(image));
    PrintRow(csv, "Pn", "Title", {"Value"}, true);
    for (const int pn : sheet.rows()) {
        PrintRow(csv, std::to_string(pn), sheet.title(pn), {sheet.cell(pn, ParamColumn::Value)});
    }
    std::cout << std::flush;
}

// One side of a comparison: a file, or the connected drive's parameter words.
bool ReadSide(const std::string& side, CliContext& context, ParamImage& image) {
    if (side != kDriveSide) {
        return ReadFileArgument(side, image);
    }
    if (context.state().identity.versionAccepted != 1 && !context.connect()) {
        return false;
    }
    if (UploadParams(context.link(), image) != kStatusOk) {
        context.messages().show("Parameters Upload Fails!", kTitleWarning);
        return false;
    }
    return true;
}

int Diff(const std::string& a, const std::string& b, bool csv, CliContext& context) {
    ParamImage imageA{};
    ParamImage imageB{};
    if (!ReadSide(a, context, imageA) || !ReadSide(b, context, imageB)) {
        return kDiffTrouble;
    }
    // Titles of Pn 58 on follow the drive's version, or the first file's.
    const bool driveSide = a == kDriveSide || b == kDriveSide;
    ParamSheet sheet(driveSide ? context.state().identity.softwareVersion
                               : ParamWordInImage(imageA, 0));
    sheet.setValues(ParamValuesOfImage(imageA));
    sheet.compareWith(ParamValuesOfImage(imageB), b);
    sheet.setDifferingOnly(true);
    PrintRow(csv, "Pn", "Title", {csv ? CsvField(a) : a, csv ? CsvField(b) : b}, true);
    for (const int pn : sheet.rows()) {
        PrintRow(csv, std::to_string(pn), sheet.title(pn),
                 {sheet.cell(pn, ParamColumn::Value), sheet.cell(pn, ParamColumn::Compared)});
    }
    std::cout << std::flush;
    return sheet.rows().empty() ? kDiffEqual : kDiffDifferent;
}

int Edit(const std::string& path, const std::vector<std::string>& assignments) {
    ParamFileDocument document;
    if (const auto error = document.open(path)) {
        Refuse(path, *error);
        return kExitUsage;
    }
    const ParamValues before = document.values();
    for (const std::string& assignment : assignments) {
        const std::size_t eq = assignment.find('=');
        if (eq == std::string::npos) {
            Refuse(assignment, "expected N=VALUE");
            return kExitUsage;
        }
        const std::string number = assignment.substr(0, eq);
        const std::string value = assignment.substr(eq + 1);
        const auto pn = number.empty() ? std::nullopt : ParseParamText(number, 0);
        if (!pn || !IsValidParamNumber(*pn)) {
            Refuse(assignment,
                   "the parameter number must be 0 to " + std::to_string(kHighestParamNumber));
            return kExitUsage;
        }
        // The editor reads an empty field or a lone "-" as 0; here they are a mistake.
        if (value.empty() || value == "-") {
            Refuse(assignment, "a value is missing");
            return kExitUsage;
        }
        if (const auto refused = document.setValueText(*pn, value)) {
            Refuse(assignment, *refused);
            return kExitUsage;
        }
    }
    if (const auto error = document.saveAs(path)) {
        Refuse(path, *error);
        return kExitDriveFailure;
    }
    ParamSheet sheet(document.softwareVersion());
    sheet.setValues(document.values());
    for (const int pn : DifferingParams(before, document.values())) {
        std::cout << "Pn " << pn << ": " << FormatParamValue(pn, before[pn]) << " -> "
                  << sheet.cell(pn, ParamColumn::Value) << "  " << sheet.title(pn) << "\n";
    }
    std::cout << std::flush;
    return kExitOk;
}

}  // namespace

void RegisterOfflineParamsCommands(CLI::App& params, CliContext& context, int& exitCode) {
    auto file = std::make_shared<std::string>();
    auto csv = std::make_shared<bool>(false);
    CLI::App* show = params.add_subcommand(
        "show", "Print Pn, title and value of every parameter in a .par file, without a drive");
    show->add_option("FILE", *file, "Parameter file")->required();
    show->add_flag("--csv", *csv, "Comma-separated values with a header line");
    show->callback([&exitCode, file, csv]() {
        ParamImage image{};
        if (!ReadFileArgument(*file, image)) {
            exitCode = kExitUsage;
            return;
        }
        Show(image, *csv);
    });

    auto sides = std::make_shared<std::vector<std::string>>();
    CLI::App* diff = params.add_subcommand(
        "diff",
        "Print the parameters that differ between A and B, each a .par file or 'drive' (the "
        "connected drive's words). Exit 0 when equal, 1 when different, 2 when a side could "
        "not be read");
    diff->add_option("SIDES", *sides, "A B: two files, or 'drive'")->required()->expected(2);
    diff->add_flag("--csv", *csv, "Comma-separated values with a header line");
    diff->callback([&context, &exitCode, sides, csv]() {
        exitCode = Diff((*sides)[0], (*sides)[1], *csv, context);
    });

    auto assignments = std::make_shared<std::vector<std::string>>();
    CLI::App* edit = params.add_subcommand(
        "edit",
        "Change parameters in a .par file without a drive: N=VALUE in the editor's text forms "
        "(bit fields Pn 8 to 14 as binary text), each a 16-bit word; the file is replaced "
        "whole or not at all");
    edit->add_option("FILE", *file, "Parameter file")->required();
    edit->add_option("ASSIGNMENTS", *assignments, "N=VALUE ...")->required()->expected(1, -1);
    edit->callback([&exitCode, file, assignments]() { exitCode = Edit(*file, *assignments); });
}

}  // namespace qx::cli
