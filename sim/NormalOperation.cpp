#include "sim/NormalOperation.h"

#include <cmath>

namespace qx::sim {

namespace {

constexpr double kTopRpm = 1000.0;
constexpr uint32_t kRampTicks = 1000;
constexpr uint32_t kHoldTicks = 2000;
constexpr uint32_t kSpeedLagTicks = 40;   // 10 ms behind the command
constexpr uint32_t kCurrentLagTicks = 2;  // the current loop is much faster
constexpr double kAmpsPerRpmPerSecond = 1.0 / 1000.0;
constexpr double kLoadFrictionAmps = 0.3;
constexpr double kRippleAmps = 0.05;
constexpr double kRawPerAmp = 128.0;
constexpr double kRawPerRpm = 4.0;
constexpr double kPulsesPerRev = 10000.0;
constexpr double kPi = 3.14159265358979323846;

// Speed command in rpm at tick `t` of the profile: ramp up, hold, ramp across, hold,
// ramp back to rest. The two holds cancel, so the motor ends each profile where it began.
double ProfileRpm(uint32_t t) {
    const double ramp = static_cast<double>(kRampTicks);
    if (t < kRampTicks) {
        return kTopRpm * t / ramp;
    }
    t -= kRampTicks;
    if (t < kHoldTicks) {
        return kTopRpm;
    }
    t -= kHoldTicks;
    if (t < 2 * kRampTicks) {
        return kTopRpm - kTopRpm * t / ramp;
    }
    t -= 2 * kRampTicks;
    if (t < kHoldTicks) {
        return -kTopRpm;
    }
    t -= kHoldTicks;
    return -kTopRpm + kTopRpm * t / ramp;
}

uint32_t Behind(uint32_t t, uint32_t lag) {
    return (t + kProfileTicks - lag) % kProfileTicks;
}

}  // namespace

NormalOperation::NormalOperation()
    : speedCmd_(kProfileTicks),
      speedFb_(kProfileTicks),
      currentCmd_(kProfileTicks),
      currentFb_(kProfileTicks),
      positionCmd_(kProfileTicks),
      positionFb_(kProfileTicks) {
    const double pulsesPerTickPerRpm = kPulsesPerRev / 60.0 / kTicksPerSecond;
    double cmdPulses = 0.0;
    double fbPulses = 0.0;
    std::vector<double> amps(kProfileTicks);
    for (uint32_t t = 0; t < kProfileTicks; ++t) {
        const double cmd = ProfileRpm(t);
        const double fb = ProfileRpm(Behind(t, kSpeedLagTicks));
        const double accel = (fb - ProfileRpm(Behind(t, kSpeedLagTicks + 1))) * kTicksPerSecond;
        const double friction =
            fb > 0.0 ? kLoadFrictionAmps : (fb < 0.0 ? -kLoadFrictionAmps : 0.0);
        amps[t] = accel * kAmpsPerRpmPerSecond + friction;
        speedCmd_[t] = static_cast<int32_t>(cmd * kRawPerRpm);
        speedFb_[t] = static_cast<int32_t>(fb * kRawPerRpm);
        positionCmd_[t] = static_cast<int64_t>(std::llround(cmdPulses));
        positionFb_[t] = static_cast<int64_t>(std::llround(fbPulses));
        cmdPulses += cmd * pulsesPerTickPerRpm;
        fbPulses += fb * pulsesPerTickPerRpm;
    }
    for (uint32_t t = 0; t < kProfileTicks; ++t) {
        const double ripple = kRippleAmps * std::sin(2.0 * kPi * t / 40.0);
        currentCmd_[t] = static_cast<int32_t>(amps[t] * kRawPerAmp);
        currentFb_[t] =
            static_cast<int32_t>((amps[Behind(t, kCurrentLagTicks)] + ripple) * kRawPerAmp);
    }
}

ChannelPair NormalOperation::sample(int monitorType, uint64_t tick) const {
    const auto t = static_cast<uint32_t>(tick % kProfileTicks);
    switch (monitorType) {
        case 1:
            return {speedCmd_[t], speedFb_[t]};
        case 2:
            // Each profile returns to its start, so the position repeats as well.
            return {static_cast<int32_t>(positionCmd_[t]), static_cast<int32_t>(positionFb_[t])};
        default:
            return {currentCmd_[t], currentFb_[t]};
    }
}

}  // namespace qx::sim
