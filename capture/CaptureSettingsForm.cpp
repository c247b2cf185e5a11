#include "capture/CaptureSettingsForm.h"

#include <algorithm>

namespace qx {

CaptureSettingLimits SettingLimits(CaptureKind kind) {
    CaptureSettingLimits l;
    switch (kind) {
        case CaptureKind::Current:
            l.rangeIsFloat = true;
            l.rangeCommitMin = 0;
            l.rangeCommitMax = 100;
            l.rangeSpinMin = 0.01;
            l.rangeSpinMax = 100;
            l.rangeStep = kCurrentRangeStep;
            break;
        case CaptureKind::Speed:
            l.rangeCommitMin = l.rangeSpinMin = 1;
            l.rangeCommitMax = l.rangeSpinMax = 6000;
            l.lastingCommitMin = l.lastingSpinMin = 20;
            l.lastingCommitMax = l.lastingSpinMax = 60000;
            break;
        case CaptureKind::Position:
            l.rangeCommitMin = -4000000;
            l.rangeCommitMax = 4000000;
            l.rangeSpinMin = -400000;
            l.rangeSpinMax = 400000;
            l.lastingCommitMax = 65536;
            l.countMax = 512;
            break;
    }
    return l;
}

int32_t RateForDivider(int32_t baseRateHz, int32_t divider) {
    return baseRateHz / std::max(divider, kMinSampleDivider);
}

CaptureSettingFields OpenCaptureSettings(LoopCaptureSettings& record, int32_t baseRateHz) {
    record.sampleRateHz = RateForDivider(baseRateHz, record.sampleDivider);
    CaptureSettingFields f;
    f.sampleCount = record.sampleCount;
    f.sampleRateHz = record.sampleRateHz;
    f.sampleDivider = record.sampleDivider;
    f.samplePosition = record.samplePosition;
    f.range = record.range;
    f.lastingTimeMs = record.lastingTimeMs;
    return f;
}

void ApplyCaptureSettings(const CaptureSettingFields& f, LoopCaptureSettings& record) {
    record.sampleCount = f.sampleCount;
    record.sampleRateHz = f.sampleRateHz;
    record.sampleDivider = f.sampleDivider;
    record.samplePosition = f.samplePosition;
    record.range = f.range;
    record.lastingTimeMs = f.lastingTimeMs;
}

void SnapSampleRate(CaptureSettingFields& f, int32_t baseRateHz) {
    if (f.sampleRateHz != 0) {
        f.sampleDivider = std::max(baseRateHz / f.sampleRateHz, kMinSampleDivider);
    }
    f.sampleRateHz = RateForDivider(baseRateHz, f.sampleDivider);
}

void SnapSampleStart(CaptureSettingFields& f) {
    if (f.samplePosition < kStartSnapBelow) {
        f.samplePosition = 0.0f;
    }
}

void SpinRange(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta) {
    const double v = static_cast<double>(f.range) - delta * l.rangeStep;
    if (l.rangeIsFloat) {
        f.range = std::clamp(static_cast<float>(v), static_cast<float>(l.rangeSpinMin),
                             static_cast<float>(l.rangeSpinMax));
    } else {
        f.range = static_cast<float>(std::clamp(v, l.rangeSpinMin, l.rangeSpinMax));
    }
}

void SpinLastingTime(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta) {
    f.lastingTimeMs = std::clamp(f.lastingTimeMs - delta, l.lastingSpinMin, l.lastingSpinMax);
}

void SpinSampleCount(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta) {
    f.sampleCount = std::clamp(f.sampleCount - delta, 1, l.countMax);
}

void SpinSampleStart(CaptureSettingFields& f, int delta) {
    f.samplePosition =
        std::clamp(f.samplePosition - static_cast<float>(delta) * kStartStep, 0.0f, 1.0f);
    SnapSampleStart(f);
}

void SpinSampleRate(CaptureSettingFields& f, int32_t baseRateHz, int delta) {
    f.sampleDivider = std::clamp(f.sampleDivider + delta, kMinSampleDivider, kMaxSampleDivider);
    f.sampleRateHz = RateForDivider(baseRateHz, f.sampleDivider);
}

}  // namespace qx
