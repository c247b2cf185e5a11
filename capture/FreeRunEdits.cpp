#include "capture/FreeRunEdits.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/ConnectDrive.h"

namespace qx {

int SettingsIndex(CaptureKind kind) {
    return ForKind(kind, FreeRunSettings::kCurrent, FreeRunSettings::kSpeed,
                   FreeRunSettings::kPosition);
}

int32_t MaxSampleCount(CaptureKind kind) {
    return kind == CaptureKind::Position ? kMaxPositionPoints : kMaxCurrentOrSpeedPoints;
}

int32_t LimitSampleCount(CaptureKind kind, int64_t count) {
    return static_cast<int32_t>(std::clamp<int64_t>(count, kMinSampleCount, MaxSampleCount(kind)));
}

int32_t EffectiveBaseRate(int32_t baseRateHz) {
    return baseRateHz > 0 ? baseRateHz : kBaseSampleRateHz;
}

SnappedRate RateOfDivider(int32_t baseRateHz, int64_t divider) {
    const int32_t base = EffectiveBaseRate(baseRateHz);
    const auto d = static_cast<int32_t>(
        std::clamp<int64_t>(divider, kMinFreeRunDivider, std::numeric_limits<int32_t>::max()));
    return {base / d, d};
}

SnappedRate SnapSampleRate(int32_t baseRateHz, int64_t typedHz) {
    const int32_t base = EffectiveBaseRate(baseRateHz);
    const int64_t rate = std::max<int64_t>(typedHz, 1);
    return RateOfDivider(base, base / rate);
}

double LimitTriggerValue(CaptureKind kind, double value) {
    if (!std::isfinite(value)) {
        value = 0.0;
    }
    switch (kind) {
        case CaptureKind::Current:
            return static_cast<double>(
                static_cast<float>(std::clamp(value, -kMaxCurrentTriggerA, kMaxCurrentTriggerA)));
        case CaptureKind::Speed:
            return std::trunc(std::clamp(value, -kMaxSpeedTriggerRpm, kMaxSpeedTriggerRpm));
        case CaptureKind::Position:
            break;
    }
    // A pulse count the drive's 32-bit level cannot hold would wrap to another level.
    return std::trunc(std::clamp(value, double{std::numeric_limits<int32_t>::min()},
                                 double{std::numeric_limits<int32_t>::max()}));
}

int32_t TriggerLevelRaw(CaptureKind kind, double value) {
    const double limited = LimitTriggerValue(kind, value);
    switch (kind) {
        case CaptureKind::Current:
            return static_cast<int32_t>(static_cast<float>(limited) * 128.0f);
        case CaptureKind::Speed:
            return static_cast<int32_t>(limited * 4.0);
        case CaptureKind::Position:
            break;
    }
    return static_cast<int32_t>(limited);
}

double TriggerSpinStep(CaptureKind kind) {
    return kind == CaptureKind::Current ? kCurrentTriggerSpinStep : 1.0;
}

float TruncateWaveOffset(double typed) {
    if (!std::isfinite(typed)) {
        return 0.0f;
    }
    const double hundredths =
        std::clamp(std::trunc(typed * 100.0), 0.0, static_cast<double>(kWaveOffsetHundredths));
    return static_cast<float>(hundredths / 100.0);
}

}  // namespace qx
