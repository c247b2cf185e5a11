#include "sim/ServoLoopModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace qx::sim {

namespace {

// The current controller runs this many times per base period (8 kHz).
constexpr int kCurrentSubsteps = 2;
constexpr double kCurrentBandwidthRadS = 2000.0;
// The Ki word at which the integral exactly cancels the winding's pole.
constexpr double kKiNominal = 2000.0;
constexpr double kVoltageLimit = 180.0;
constexpr double kCurrentLimitA = 30.0;
constexpr double kSpeedLimitRpm = 3000.0;
// Amperes of command per rpm of speed error per unit of the speed Kp word.
constexpr double kSpeedKpAmpsPerRpm = 1.6e-3;
// rpm of speed command per pulse of position error per unit of the position Kp word.
constexpr double kPositionKpRpmPerPulse = 4.5e-4;
// rpm of speed command per pulse/s of error rate per unit of the Kd word.
constexpr double kPositionKdRpmPerPulseRate = 1.0e-5;
constexpr double kCurrentNoiseA = 0.02;
constexpr double kSpeedNoiseRpm = 2.0;
constexpr double kRadSPerRpm = 2.0 * std::numbers::pi / 60.0;
constexpr double kCurrentRawPerA = 128.0;
constexpr double kSpeedRawPerRpm = 4.0;

double LowPassAlpha(double cutoffHz, double period) {
    return 1.0 - std::exp(-2.0 * std::numbers::pi * std::max(cutoffHz, 0.0) * period);
}

int32_t ToRaw16(double v) {
    constexpr double lo = std::numeric_limits<int16_t>::min();
    constexpr double hi = std::numeric_limits<int16_t>::max();
    return static_cast<int32_t>(std::clamp(v, lo, hi));
}

class ServoLoops {
  public:
    ServoLoops(const LoopGainWords& g, const MotorConstants& m, uint32_t seed)
        : m_(m), rng_(seed), currentNoise_(0.0, kCurrentNoiseA), speedNoise_(0.0, kSpeedNoiseRpm) {
        kt_ = m.keVPerKrpm * 60.0 / (2.0 * std::numbers::pi * 1000.0);
        const double lsHat = g.lsRaw / 1024.0 * 1e-3;
        const double rsHat = g.rsRaw / 1024.0;
        keHat_ = g.keRaw / 32.0 * 60.0 / (2.0 * std::numbers::pi * 1000.0);
        kpCurrent_ = lsHat * kCurrentBandwidthRadS;
        kiCurrent_ = rsHat * kCurrentBandwidthRadS * (g.ki / kKiNominal);
        kpSpeed_ = g.speedKp * kSpeedKpAmpsPerRpm;
        trcS_ = std::max<double>(g.speedTrc, 1) * 1e-4;
        speedLpf_ = LowPassAlpha(g.speedLpfHz, basePeriod_);
        outputLpf_ = LowPassAlpha(g.outputLpfHz, basePeriod_);
        kpPosition_ = g.positionKp * kPositionKpRpmPerPulse;
        kdPosition_ = g.positionKd * kPositionKdRpmPerPulseRate;
        derivativeLpf_ = LowPassAlpha(g.positionCutoffHz, basePeriod_);
    }

    // One base period with a current command; returns the measured current.
    double runCurrent(double commandA) {
        double measured = 0.0;
        for (int k = 0; k < kCurrentSubsteps; ++k) {
            measured = current_ + currentNoise_(rng_);
            const double e = commandA - measured;
            // The voltage computed now is applied during the next period.
            const double v = std::clamp(kpCurrent_ * e + integral_ + keHat_ * speed_,
                                        -kVoltageLimit, kVoltageLimit);
            if (std::abs(v) < kVoltageLimit || (v > 0) != (e > 0)) {
                integral_ += kiCurrent_ * e * subPeriod_;
            }
            plant(appliedVoltage_);
            appliedVoltage_ = v;
        }
        return measured;
    }

    // One base period with a speed command in rpm; returns the filtered measured speed.
    double runSpeed(double commandRpm) {
        const double measured = speed_ / kRadSPerRpm + speedNoise_(rng_);
        filteredSpeed_ += speedLpf_ * (measured - filteredSpeed_);
        const double e = commandRpm - filteredSpeed_;
        // Integral on the error, proportional on the feedback: the command step does not
        // kick the current, the integral brings the speed up.
        const double raw = kpSpeed_ * (speedIntegral_ - filteredSpeed_);
        const double limited = std::clamp(raw, -kCurrentLimitA, kCurrentLimitA);
        if (raw == limited || (raw > 0) != (e > 0)) {
            speedIntegral_ += e * basePeriod_ / trcS_;
        }
        currentCommand_ += outputLpf_ * (limited - currentCommand_);
        runCurrent(currentCommand_);
        return filteredSpeed_;
    }

    // One base period with a position command in pulses; returns the position.
    double runPosition(double commandPulses) {
        const double position = measuredPulses();
        const double e = commandPulses - position;
        const double rate = (e - lastError_) / basePeriod_;
        lastError_ = e;
        errorRate_ += derivativeLpf_ * (rate - errorRate_);
        const double speedCommand =
            std::clamp(kpPosition_ * e + kdPosition_ * errorRate_, -kSpeedLimitRpm, kSpeedLimitRpm);
        runSpeed(speedCommand);
        return position;
    }

  private:
    void plant(double volts) {
        const double backEmf = kt_ * speed_;
        current_ +=
            (volts - m_.resistanceOhm * current_ - backEmf) / (m_.inductanceMh * 1e-3) * subPeriod_;
        double torque = kt_ * current_ - m_.viscousNmPerRadS * speed_;
        if (speed_ != 0.0) {
            torque -= std::copysign(m_.coulombNm, speed_);
        } else if (std::abs(torque) <= m_.coulombNm) {
            torque = 0.0;  // static friction holds
        }
        const double before = speed_;
        speed_ += torque / m_.inertiaKgM2 * subPeriod_;
        if (before != 0.0 && (before > 0) != (speed_ > 0)) {
            speed_ = 0.0;  // friction stops the motor rather than reversing it
        }
        angle_ += speed_ * subPeriod_;
    }

    double measuredPulses() const {
        return std::floor(angle_ / (2.0 * std::numbers::pi) * m_.pulsesPerRev);
    }

    const double basePeriod_ = 1.0 / kSimBaseRateHz;
    const double subPeriod_ = basePeriod_ / kCurrentSubsteps;
    MotorConstants m_;
    std::mt19937 rng_;
    std::normal_distribution<double> currentNoise_;
    std::normal_distribution<double> speedNoise_;
    double kt_ = 0.0;
    double keHat_ = 0.0;
    double kpCurrent_ = 0.0;
    double kiCurrent_ = 0.0;
    double kpSpeed_ = 0.0;
    double trcS_ = 0.0;
    double speedLpf_ = 0.0;
    double outputLpf_ = 0.0;
    double kpPosition_ = 0.0;
    double kdPosition_ = 0.0;
    double derivativeLpf_ = 0.0;

    double current_ = 0.0;
    double speed_ = 0.0;  // rad/s
    double angle_ = 0.0;  // rad
    double integral_ = 0.0;
    double appliedVoltage_ = 0.0;
    double filteredSpeed_ = 0.0;
    double speedIntegral_ = 0.0;
    double currentCommand_ = 0.0;
    double lastError_ = 0.0;
    double errorRate_ = 0.0;
};

// Larger than the standard motor: half as much again torque per ampere, under half its
// winding resistance with a slower electrical time constant, and a flywheel of six times
// its inertia.
constexpr MotorConstants kHeavyMotor{0.5, 3.0, 60.0, 6.0e-3, 1.0e-3, 0.05, 10000.0};

constexpr SimLoad kLoads[] = {{"standard", MotorConstants{}}, {"heavy", kHeavyMotor}};

uint64_t BasePeriodsPerTick() {
    return static_cast<uint64_t>(kSimBaseRateHz * kSimMsPerTick / 1000.0);
}

}  // namespace

std::span<const SimLoad> SimLoads() {
    return kLoads;
}

std::optional<MotorConstants> SimLoadNamed(std::string_view name) {
    for (const SimLoad& load : kLoads) {
        if (load.name == name) {
            return load.motor;
        }
    }
    return std::nullopt;
}

std::string SimLoadNames() {
    std::string names;
    for (const SimLoad& load : kLoads) {
        names += names.empty() ? "" : ", ";
        names += load.name;
    }
    return names;
}

uint64_t RecordingTimeUs(const StepTestSpec& spec) {
    const double us = spec.sampleStartTicks * kSimMsPerTick * 1000.0 +
                      static_cast<double>(spec.sampleCount) * std::max<uint32_t>(spec.divider, 1) *
                          1e6 / kSimBaseRateHz;
    return static_cast<uint64_t>(us);
}

StepTestRecord RunStepTest(const StepTestSpec& spec, const LoopGainWords& gains,
                           const MotorConstants& motor) {
    ServoLoops loops(gains, motor, spec.noiseSeed);
    const uint64_t perTick = BasePeriodsPerTick();
    const uint64_t levelPeriods = std::max<uint64_t>(spec.levelTicks, 1) * perTick;
    const uint64_t firstSample = uint64_t{spec.sampleStartTicks} * perTick;
    const uint64_t divider = std::max<uint32_t>(spec.divider, 1);
    const uint64_t total = firstSample + uint64_t{spec.sampleCount} * divider;

    StepTestRecord record;
    record.command.reserve(spec.sampleCount);
    record.feedback.reserve(spec.sampleCount);
    for (uint64_t k = 0; k < total; ++k) {
        const bool high = (k / levelPeriods) % 2 == 0;
        const double level = high ? spec.amplitudeRaw : -static_cast<double>(spec.amplitudeRaw);
        int32_t command = 0;
        int32_t feedback = 0;
        switch (spec.loopKind) {
            case 1: {
                const double rpm = loops.runSpeed(level / kSpeedRawPerRpm);
                command = ToRaw16(level);
                feedback = ToRaw16(rpm * kSpeedRawPerRpm);
                break;
            }
            case 2: {
                const double pulses = loops.runPosition(level);
                command = static_cast<int32_t>(level);
                feedback = static_cast<int32_t>(pulses);
                break;
            }
            default: {
                const double amps = loops.runCurrent(level / kCurrentRawPerA);
                command = ToRaw16(level);
                feedback = ToRaw16(amps * kCurrentRawPerA);
                break;
            }
        }
        if (k >= firstSample && (k - firstSample) % divider == 0) {
            record.command.push_back(command);
            record.feedback.push_back(feedback);
        }
    }
    return record;
}

}  // namespace qx::sim
