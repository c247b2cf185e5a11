#pragma once

// A motor with its load and the drive's three nested control loops, run at the drive's
// base rate. The drive's controllers work from the gain words the tool writes; the
// motor has its own true constants, so gains that do not match it behave as they would
// on a real machine: sluggish, overshooting or oscillating.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim {

inline constexpr double kSimBaseRateHz = 4000.0;
inline constexpr double kSimMsPerTick = 1.0;

// The simulated motor and its load.
struct MotorConstants {
    double resistanceOhm = 1.2;
    double inductanceMh = 4.0;
    double keVPerKrpm = 40.0;  // back-EMF; the torque constant follows from it
    double inertiaKgM2 = 1.0e-3;
    double viscousNmPerRadS = 2.0e-4;
    double coulombNm = 0.02;
    double pulsesPerRev = 10000.0;
};

// The motors the simulated drive can run its step tests on, by name: the standard one
// (the default) and a larger motor of lower resistance with a flywheel. The drive holds
// the motor data words (Ls, Rs, Ke) of the motor it drives, as a commissioned drive
// does, and the same controller gains for both, so gains that suit one need not suit
// the other.
struct SimLoad {
    std::string_view name;
    MotorConstants motor;
};
std::span<const SimLoad> SimLoads();
std::optional<MotorConstants> SimLoadNamed(std::string_view name);
// "standard, heavy": the names, for help texts and messages.
std::string SimLoadNames();

// Gain words as the tool writes them (drive words 0x0212.., 0x025D.., 0x026B..).
struct LoopGainWords {
    uint16_t lsRaw = 4096;  // mH x 1024
    uint16_t rsRaw = 1228;  // ohm x 1024
    uint16_t keRaw = 1280;  // V/krpm x 32
    uint16_t ki = 2000;
    uint16_t speedKp = 100;
    uint16_t speedTrc = 50;  // 0.1 ms
    uint16_t speedLpfHz = 500;
    uint16_t outputLpfHz = 500;
    uint16_t positionKp = 400;
    uint16_t positionKd = 0;
    uint16_t positionCutoffHz = 100;
};

// One step test: a square-wave excitation of the chosen loop, levels of `levelTicks`
// ticks alternating +amplitude and -amplitude from the start, sampled every `divider`
// base periods from `startTicks` into it.
struct StepTestSpec {
    int loopKind = 0;          // 0 current, 1 speed, 2 position
    int32_t amplitudeRaw = 0;  // A x 128, rpm x 4 or pulses
    uint32_t levelTicks = 0;
    uint32_t sampleStartTicks = 0;  // phase x level + start ticks
    uint32_t sampleCount = 0;
    uint32_t divider = 1;
    uint32_t noiseSeed = 1;
};

// Channel 1 (command) and channel 2 (feedback) of each sample in drive units.
struct StepTestRecord {
    std::vector<int32_t> command;
    std::vector<int32_t> feedback;
};

// Microseconds the drive needs to record `spec`: the excitation up to the start of
// sampling, then the sampling itself.
uint64_t RecordingTimeUs(const StepTestSpec& spec);

StepTestRecord RunStepTest(const StepTestSpec& spec, const LoopGainWords& gains,
                           const MotorConstants& motor = {});

}  // namespace qx::sim
