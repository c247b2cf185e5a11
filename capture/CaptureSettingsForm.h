#pragma once

#include <cstdint>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"

namespace qx {

inline constexpr int32_t kMinSampleDivider = 1;
inline constexpr int32_t kMaxSampleDivider = 40;
inline constexpr float kStartSnapBelow = 0.001f;
inline constexpr float kStartStep = 0.01f;
inline constexpr float kCurrentRangeStep = 0.01f;

// The limits of one capture setting dialog: what a commit accepts and where the
// arrows stop.
struct CaptureSettingLimits {
    bool rangeIsFloat = false;  // amperes; rpm and pulses are whole numbers
    double rangeCommitMin = 0;
    double rangeCommitMax = 0;
    double rangeSpinMin = 0;
    double rangeSpinMax = 0;
    double rangeStep = 1;
    int32_t lastingCommitMin = 1;
    int32_t lastingCommitMax = 65535;
    int32_t lastingSpinMin = 1;
    int32_t lastingSpinMax = 65535;
    int32_t countMax = 1024;
    float startCommitMin = -1.0f;
    float startCommitMax = 1.0f;
    bool operator==(const CaptureSettingLimits&) const = default;
};
CaptureSettingLimits SettingLimits(CaptureKind kind);

// The fields a capture setting dialog edits, and the rules between them.
struct CaptureSettingFields {
    int32_t sampleCount = 0;
    int32_t sampleRateHz = 0;
    int32_t sampleDivider = 1;
    float samplePosition = 0.0f;
    float range = 0.0f;
    int32_t lastingTimeMs = 0;
    bool operator==(const CaptureSettingFields&) const = default;
};

// The rate a divider gives: base / divider in whole numbers (0 without a base rate).
int32_t RateForDivider(int32_t baseRateHz, int32_t divider);

// Opening: the record's rate follows its divider (stored even if the dialog is then
// cancelled), and the fields are a copy of the record.
CaptureSettingFields OpenCaptureSettings(LoopCaptureSettings& record, int32_t baseRateHz);
// OK: the fields go into the record.
void ApplyCaptureSettings(const CaptureSettingFields& f, LoopCaptureSettings& record);

// After a committed sample rate: the next rate at or above it that a divider gives;
// 0 keeps the divider.
void SnapSampleRate(CaptureSettingFields& f, int32_t baseRateHz);
// After a committed start: below 0.001 (negative values too) becomes 0.
void SnapSampleStart(CaptureSettingFields& f);

// The arrows; `delta` is -1 for the up arrow.
void SpinRange(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta);
void SpinLastingTime(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta);
void SpinSampleCount(CaptureSettingFields& f, const CaptureSettingLimits& l, int delta);
void SpinSampleStart(CaptureSettingFields& f, int delta);
// The up arrow lowers the divider (raising the rate), within 1..40.
void SpinSampleRate(CaptureSettingFields& f, int32_t baseRateHz, int delta);

}  // namespace qx
