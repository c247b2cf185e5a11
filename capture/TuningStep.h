#pragma once

#include <cstdint>
#include <span>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/StepMetrics.h"

namespace qx {

// What a step test excites and samples, in the drive's terms. The drive's excitation
// alternates +amplitude and -amplitude, each level lasting `excitationTicks`, high
// first from tick 0; sampling starts at triggerPhase x excitationTicks +
// triggerStartTicks and takes a point every `divider` base periods.
struct TuningStepSpec {
    CaptureKind kind = CaptureKind::Current;
    int32_t excitationTicks = 0;
    int32_t amplitudeRaw = 0;  // A x 128, rpm x 4 or pulses
    int32_t triggerPhase = 0;
    int32_t triggerStartTicks = 0;
    int32_t divider = 1;
    int32_t baseRateHz = 0;
    float msPerTick = 0.0f;
};

// The first level change inside a tuning record, in display units and milliseconds
// from the record's first point. `known` is false when the settings cannot place it (no
// base rate, no excitation).
struct TuningStep {
    bool known = false;
    double samplePeriodMs = 0.0;
    double stepTimeMs = 0.0;
    double endTimeMs = 0.0;  // the level change after it
    double initialLevel = 0.0;
    double finalLevel = 0.0;
};

// The settings of the step test the shared records ask for (LoopCaptureRequest,
// LoopCaptureRun, DriveIdentity).
TuningStepSpec TuningStepSpecOf(const SharedState& state);

TuningStep TuningStepOf(const TuningStepSpec& spec);

// The step response of a record's feedback (channel 2) to `step`.
StepResponse StepResponseOf(const TuningStep& step, std::span<const float> feedback);

}  // namespace qx
