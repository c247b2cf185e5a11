#include "sim/SimOptions.h"

#include <sstream>

#include "sim/CaptureFeatures.h"
#include "sim/FreeRunFeatures.h"
#include "sim/MonitorFeatures.h"
#include "sim/ParamFeatures.h"
#include "sim/SimMotor.h"

namespace qx::sim {

const char* const kFaultHelp =
    "KIND[,cmd=N][,sub=N][,addr=N][,skip=N][,count=N]: KIND is silence, bad-checksum, "
    "no-ack, "
    "trailing-bytes, wrong-echo or truncate; cmd and sub pick the requests (for example "
    "cmd=0xC1,sub=0x0091 for word reads, addr the word after the sub-command), skip lets that many "
    "through first, count -1 hits "
    "every one that follows (default 1)";

namespace {

std::optional<long> ParseNumber(const std::string& text) {
    try {
        std::size_t used = 0;
        const long v = std::stol(text, &used, 0);
        if (used != text.size()) {
            return std::nullopt;
        }
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::string> ParseFaultRule(const std::string& text, FaultRule& rule) {
    std::stringstream in(text);
    std::string part;
    std::getline(in, part, ',');
    const auto fault = ParseFault(part);
    if (!fault) {
        return "unknown fault '" + part + "'";
    }
    rule = FaultRule{};
    rule.fault = *fault;
    while (std::getline(in, part, ',')) {
        const auto eq = part.find('=');
        const auto value =
            eq == std::string::npos ? std::nullopt : ParseNumber(part.substr(eq + 1));
        if (!value) {
            return "expected key=number in '" + part + "'";
        }
        const std::string key = part.substr(0, eq);
        if (key == "cmd") {
            rule.command = static_cast<int>(*value);
        } else if (key == "sub") {
            rule.subCommand = static_cast<int>(*value);
        } else if (key == "addr") {
            rule.address = static_cast<int>(*value);
        } else if (key == "skip") {
            rule.skip = static_cast<int>(*value);
        } else if (key == "count") {
            rule.count = static_cast<int>(*value);
        } else {
            return "unknown key '" + key + "'";
        }
    }
    return std::nullopt;
}

std::optional<std::string> ParseAwaySpec(const std::string& text, SimOptions& options) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return "expected AFTER_MS:FOR_MS";
    }
    const auto after = ParseNumber(text.substr(0, colon));
    const auto duration = ParseNumber(text.substr(colon + 1));
    if (!after || !duration || *after < 0 || *duration < 0) {
        return "expected AFTER_MS:FOR_MS with two whole numbers";
    }
    options.awayAfterMs = static_cast<uint64_t>(*after);
    options.awayForMs = static_cast<uint64_t>(*duration);
    return std::nullopt;
}

std::optional<std::string> ParseLoad(const std::string& name, SimOptions& options) {
    const auto motor = SimLoadNamed(name);
    if (!motor) {
        return "unknown motor '" + name + "': expected one of " + SimLoadNames();
    }
    options.load = *motor;
    return std::nullopt;
}

std::shared_ptr<SimDrive> MakeSimDrive(const SimOptions& options, uint64_t startUs) {
    auto drive = std::make_shared<SimDrive>(options.config);
    InstallMotorFeatures(*drive);
    InstallParameterFeatures(*drive);
    InstallCaptureFeatures(*drive, options.load);
    InstallFreeRunFeatures(*drive);
    for (const FaultRule& rule : options.faults) {
        drive->addFault(rule);
    }
    if (options.randomFaultProbability > 0.0) {
        drive->setRandomFaults(options.randomFaultProbability, options.randomFaultSeed);
    }
    if (options.silentSpellProbability > 0.0) {
        drive->setSilentSpells(options.silentSpellProbability, options.randomFaultSeed);
    }
    if (options.awayAfterMs) {
        const uint64_t from = startUs + *options.awayAfterMs * 1000;
        drive->goAwayBetween(from, from + options.awayForMs * 1000);
    }
    // Last: the status answers polls only when no job installed above is pending.
    InstallMonitorFeatures(*drive, options.status, startUs);
    return drive;
}

}  // namespace qx::sim
