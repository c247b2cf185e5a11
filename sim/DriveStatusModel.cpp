#include "sim/DriveStatusModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace qx::sim {

namespace {

// The speed profile of one half period; the second half runs it in reverse.
constexpr double kHalfPeriodS = 2.0;
constexpr double kAccelEndS = 0.3;
constexpr double kCruiseEndS = 1.5;
constexpr double kDecelEndS = 1.8;
constexpr double kAccelRpmPerS = DriveStatusModel::kTopSpeedRpm / kAccelEndS;
constexpr double kPulsesPerRpmSecond = DriveStatusModel::kPulsesPerRev / 60.0;

// How the feedback follows the instruction.
constexpr double kSpeedLoopLagS = 0.004;
constexpr double kCurrentLoopLagS = 0.001;
constexpr double kSpeedRippleRpm = 1.5;
constexpr double kSpeedRippleHz = 37.0;
constexpr double kTorqueRippleAmps = 0.04;
constexpr double kTorqueRippleHz = 53.0;

// Torque: inertia at full acceleration, Coulomb friction, viscous friction.
constexpr double kAccelAmps = 3.0;
constexpr double kFrictionAmps = 0.25;
constexpr double kViscousAmpsPerRpm = 0.0004;

constexpr double kCurrentScale = 128.0;
constexpr double kSpeedScale = 4.0;

struct Motion {
    double speedRpm = 0.0;
    double accelRpmPerS = 0.0;
    double positionPulses = 0.0;
};

// Revolutions x 60 (rpm x s) covered from the start of a half period to `u`.
double HalfDistance(double u) {
    const double a = kAccelRpmPerS;
    const double v = DriveStatusModel::kTopSpeedRpm;
    const double accelEnd = v * kAccelEndS / 2.0;
    if (u < kAccelEndS) {
        return a * u * u / 2.0;
    }
    if (u < kCruiseEndS) {
        return accelEnd + v * (u - kAccelEndS);
    }
    const double cruiseEnd = accelEnd + v * (kCruiseEndS - kAccelEndS);
    const double d = std::min(u, kDecelEndS) - kCruiseEndS;
    return cruiseEnd + v * d - a * d * d / 2.0;
}

Motion MotionAt(double t) {
    const double period = 2.0 * kHalfPeriodS;
    double tau = std::fmod(std::max(t, 0.0), period);
    const bool reverse = tau >= kHalfPeriodS;
    const double u = reverse ? tau - kHalfPeriodS : tau;
    const double v = DriveStatusModel::kTopSpeedRpm;

    Motion m;
    if (u < kAccelEndS) {
        m.speedRpm = kAccelRpmPerS * u;
        m.accelRpmPerS = kAccelRpmPerS;
    } else if (u < kCruiseEndS) {
        m.speedRpm = v;
    } else if (u < kDecelEndS) {
        m.speedRpm = v - kAccelRpmPerS * (u - kCruiseEndS);
        m.accelRpmPerS = -kAccelRpmPerS;
    }
    const double full = HalfDistance(kHalfPeriodS);
    const double distance = reverse ? full - HalfDistance(u) : HalfDistance(u);
    if (reverse) {
        m.speedRpm = -m.speedRpm;
        m.accelRpmPerS = -m.accelRpmPerS;
    }
    m.positionPulses = distance * kPulsesPerRpmSecond;
    return m;
}

double TorqueAmps(const Motion& m) {
    const double friction = m.speedRpm > 0.0   ? kFrictionAmps
                            : m.speedRpm < 0.0 ? -kFrictionAmps
                                               : 0.0;
    return kAccelAmps * m.accelRpmPerS / kAccelRpmPerS + friction + kViscousAmpsPerRpm * m.speedRpm;
}

uint32_t Raw16(double value) {
    const double r = std::clamp(std::round(value), -32768.0, 32767.0);
    return static_cast<uint16_t>(static_cast<int16_t>(r));
}

uint32_t Raw32(double pulses) {
    return static_cast<uint32_t>(static_cast<int32_t>(std::lround(pulses)));
}

double Sine(double hz, double t) {
    return std::sin(2.0 * std::numbers::pi * hz * t);
}

// Hall U, V, W from the electrical angle; A, B in quadrature and Z once a revolution
// from the pulse count.
uint32_t PhaseBits(int32_t pulses) {
    const double perRev = DriveStatusModel::kPulsesPerRev;
    const auto revPulses = static_cast<int32_t>(perRev);
    const int32_t inRev = ((pulses % revPulses) + revPulses) % revPulses;
    const double electrical =
        std::fmod(inRev / perRev * DriveStatusModel::kPolePairs * 360.0, 360.0);
    auto hall = [electrical](double shift) {
        return std::fmod(electrical - shift + 360.0, 360.0) < 180.0 ? 1u : 0u;
    };
    constexpr std::array<uint32_t, 4> kQuadrature = {0b00, 0b10, 0b11, 0b01};  // A, B
    const uint32_t ab = kQuadrature[static_cast<std::size_t>(((pulses % 4) + 4) % 4)];
    const uint32_t z = inRev < 4 ? 1u : 0u;
    return hall(0.0) << 5 | hall(120.0) << 4 | hall(240.0) << 3 | ab << 1 | z;
}

}  // namespace

DriveStatusModel::DriveStatusModel(const DriveStatusSettings& settings, uint64_t startUs)
    : settings_(settings), lastUs_(startUs) {}

void DriveStatusModel::setAlarm(uint16_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.alarmNumber = number & 0xFF;
}

void DriveStatusModel::setDcBusVolts(uint16_t volts) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.dcBusVolts = volts;
}

void DriveStatusModel::setInputBits(uint16_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.inputBits = bits;
}

void DriveStatusModel::setOutputBits(std::optional<uint16_t> bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.outputBits = bits;
}

void DriveStatusModel::setPhaseBits(std::optional<uint16_t> bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.phaseBits = bits;
}

void DriveStatusModel::setStill(bool still) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_.still = still;
}

DriveStatusSettings DriveStatusModel::settings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

StatusWords DriveStatusModel::statusAt(uint64_t nowUs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool alarm = (settings_.alarmNumber & 0xFF) != 0;
    const bool enabled = (settings_.inputBits & kServoEnableBit) != 0;
    const bool running = enabled && !alarm && !settings_.still;
    if (nowUs > lastUs_) {
        if (running) {
            motionUs_ += nowUs - lastUs_;
        }
        lastUs_ = nowUs;
    }
    const double t = static_cast<double>(motionUs_) / 1e6;
    const double wall = static_cast<double>(lastUs_) / 1e6;

    const Motion command = MotionAt(t);
    StatusWords w;
    if (running) {
        const Motion feedback = MotionAt(t - kSpeedLoopLagS);
        const Motion torqueSeen = MotionAt(t - kCurrentLoopLagS);
        w.speedCommandRaw = Raw16(command.speedRpm * kSpeedScale);
        w.speedRaw =
            Raw16((feedback.speedRpm + kSpeedRippleRpm * Sine(kSpeedRippleHz, wall)) * kSpeedScale);
        w.torqueCommandRaw = Raw16(TorqueAmps(command) * kCurrentScale);
        w.torqueRaw =
            Raw16((TorqueAmps(torqueSeen) + kTorqueRippleAmps * Sine(kTorqueRippleHz, wall)) *
                  kCurrentScale);
        w.positionCommand = Raw32(command.positionPulses);
        w.positionFeedback = Raw32(feedback.positionPulses);
    } else {
        // Stopped where it stood, in position.
        w.positionCommand = Raw32(command.positionPulses);
        w.positionFeedback = w.positionCommand;
    }

    w.alarmWord = alarm ? (kAlarmPresent | (settings_.alarmNumber & 0xFFu)) : 0u;
    w.inputBits = settings_.inputBits;
    w.dcBusVolts = settings_.dcBusVolts;
    if (settings_.outputBits) {
        w.outputBits = *settings_.outputBits;
    } else {
        const auto error = static_cast<int32_t>(w.positionCommand - w.positionFeedback);
        const bool inPosition = std::abs(error) <= kInPositionPulses;
        constexpr uint32_t kReady = 1u << 4;
        constexpr uint32_t kAlarm = 1u << 3;
        constexpr uint32_t kCoin = 1u << 2;
        constexpr uint32_t kBrakeReleased = 1u << 1;
        w.outputBits = (alarm ? kAlarm : kReady) | (inPosition ? kCoin : 0u) |
                       (enabled && !alarm ? kBrakeReleased : 0u);
    }
    w.phaseBits = settings_.phaseBits ? *settings_.phaseBits
                                      : PhaseBits(static_cast<int32_t>(w.positionFeedback));
    return w;
}

std::vector<uint16_t> DriveStatusModel::ReplyWords(const StatusWords& w) {
    auto lo = [](uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); };
    auto hi = [](uint32_t v) { return static_cast<uint16_t>(v >> 16); };
    return {0,
            lo(w.torqueRaw),
            lo(w.speedRaw),
            hi(w.positionFeedback),
            lo(w.positionFeedback),
            lo(w.alarmWord),
            lo(w.torqueCommandRaw),
            lo(w.speedCommandRaw),
            hi(w.positionCommand),
            lo(w.positionCommand),
            lo(w.phaseBits),
            lo(w.inputBits),
            lo(w.outputBits),
            lo(w.dcBusVolts)};
}

}  // namespace qx::sim
