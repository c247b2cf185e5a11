#pragma once

#include <span>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/StepMetrics.h"

namespace qx {

// What one tuning capture gave the tuning assistant: whether a record arrived, its step
// metrics, and two things the metrics leave open.
struct CaptureOutcome {
    bool captured = false;
    StepMetrics metrics;
    // A point of the response lies at the limit of what the record's words can hold: the
    // drive's value may have been cut off there.
    bool saturated = false;
    // The response swings from point to point by more than kRingingNoiseShare of the step:
    // a loop ringing at the sample rate, however well its average sits in the band.
    bool ringing = false;
};

// Whether a value of a record of `kind` (display units) lies at the limit of its words:
// 16-bit current and speed words, 32-bit positions.
bool AtRecordLimit(CaptureKind kind, float value);

// The outcome of a tuning record whose feedback (channel 2, display units) is `feedback`,
// for the step test the shared records describe.
CaptureOutcome MeasureTuningRecord(const SharedState& state, std::span<const float> feedback);

}  // namespace qx
