#include "capture/TuningEdits.h"

#include <algorithm>

namespace qx {

namespace {

constexpr int32_t kFilterMaxHz = 1000;

}  // namespace

int32_t MotorConstantRaw(float value, float rawPerUnit) {
    const float raw = value * rawPerUnit;
    if (!(raw > 0.0f)) {
        return 0;
    }
    if (raw >= static_cast<float>(kGainWordMax)) {
        return kGainWordMax;
    }
    return static_cast<int32_t>(raw);
}

float MotorConstantValue(int32_t raw, float rawPerUnit) {
    return static_cast<float>(raw) / rawPerUnit;
}

int32_t LimitKi(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 1, kGainWordMax));
}

GainLimits LimitsOfGain(CaptureKind kind, int index) {
    if (kind == CaptureKind::Speed) {
        return index < 2 ? GainLimits{1, kGainWordMax} : GainLimits{1, kFilterMaxHz};
    }
    if (kind == CaptureKind::Current && index == 3) {
        return {1, kGainWordMax};
    }
    return {0, kGainWordMax};
}

int32_t ClampGain(CaptureKind kind, int index, int64_t value) {
    const GainLimits l = LimitsOfGain(kind, index);
    return static_cast<int32_t>(std::clamp<int64_t>(value, l.minimum, l.maximum));
}

}  // namespace qx
