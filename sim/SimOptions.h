#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/DriveStatusSettings.h"
#include "sim/ServoLoopModel.h"
#include "sim/SimDrive.h"

namespace qx::sim {

// How a simulated drive is set up from a command line.
struct SimOptions {
    DriveConfig config;
    std::vector<FaultRule> faults;
    double randomFaultProbability = 0.0;
    // Per request: the drive falls silent for 1 to 2 s.
    double silentSpellProbability = 0.0;
    // Seeds the random faults and the silent spells.
    uint32_t randomFaultSeed = 1;
    // Goes silent `awayAfterMs` after start for `awayForMs`.
    std::optional<uint64_t> awayAfterMs;
    uint64_t awayForMs = 0;
    bool pace = false;
    DriveStatusSettings status;
    // The motor behind the step tests (SimLoads()).
    MotorConstants load;
};

// Sets `options.load` from a motor's name; returns an explanation on error.
std::optional<std::string> ParseLoad(const std::string& name, SimOptions& options);

// Parses "KIND[,cmd=0xC1][,sub=0x0091][,addr=N][,skip=N][,count=N]", KIND being silence,
// bad-checksum, no-ack, trailing-bytes, wrong-echo or truncate; count -1 means every
// matching request. Returns an explanation on error.
std::optional<std::string> ParseFaultRule(const std::string& text, FaultRule& rule);

// Parses "AFTER_MS:FOR_MS".
std::optional<std::string> ParseAwaySpec(const std::string& text, SimOptions& options);

// A drive set up as the options say; `startUs` is the instant "after" counts from.
std::shared_ptr<SimDrive> MakeSimDrive(const SimOptions& options, uint64_t startUs);

// The help text for the fault syntax.
extern const char* const kFaultHelp;

}  // namespace qx::sim
