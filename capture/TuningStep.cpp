#include "capture/TuningStep.h"

#include "capture/DecodeSamples.h"

namespace qx {

namespace {

// The drive's excitation level `index` (0 from tick 0): high, low, high ...
double Level(int64_t index, double amplitude) {
    return index % 2 == 0 ? amplitude : -amplitude;
}

double DisplayAmplitude(CaptureKind kind, int32_t raw) {
    return ForKind(kind, raw / static_cast<double>(kCurrentRawPerAmp),
                   raw / static_cast<double>(kSpeedRawPerRpm), static_cast<double>(raw));
}

}  // namespace

TuningStepSpec TuningStepSpecOf(const SharedState& state) {
    TuningStepSpec spec;
    spec.kind = KindOf(state.loopCaptureRequest.loopKind);
    spec.excitationTicks = state.loopCaptureRequest.excitationTicks;
    spec.amplitudeRaw = state.loopCaptureRequest.excitationAmplitude;
    spec.triggerPhase = state.loopCaptureRun.triggerPhase;
    spec.triggerStartTicks = state.loopCaptureRun.triggerStartTicks;
    spec.divider = state.loopCaptureRun.sampleDivider;
    spec.baseRateHz = state.identity.baseSampleRateHz.load();
    spec.msPerTick = state.identity.msPerTick.load();
    return spec;
}

TuningStep TuningStepOf(const TuningStepSpec& spec) {
    TuningStep step;
    if (spec.baseRateHz <= 0 || spec.excitationTicks <= 0 || spec.divider <= 0 ||
        !(spec.msPerTick > 0.0f) || spec.amplitudeRaw == 0) {
        return step;
    }
    const int64_t level = spec.excitationTicks;
    const int64_t start = int64_t{spec.triggerPhase} * level + spec.triggerStartTicks;
    if (start < 0) {
        return step;
    }
    // The first level change at or after the first point; at tick 0 the excitation
    // starts from rest.
    const int64_t change = start == 0 ? 0 : (start + level - 1) / level;
    const double amplitude = DisplayAmplitude(spec.kind, spec.amplitudeRaw);
    const double msPerTick = spec.msPerTick;
    step.known = true;
    step.samplePeriodMs = 1000.0 * spec.divider / spec.baseRateHz;
    step.stepTimeMs = static_cast<double>(change * level - start) * msPerTick;
    step.endTimeMs = static_cast<double>((change + 1) * level - start) * msPerTick;
    step.initialLevel = change == 0 ? 0.0 : Level(change - 1, amplitude);
    step.finalLevel = Level(change, amplitude);
    return step;
}

StepResponse StepResponseOf(const TuningStep& step, std::span<const float> feedback) {
    StepResponse r;
    r.response = feedback;
    r.samplePeriodMs = step.samplePeriodMs;
    r.stepTimeMs = step.stepTimeMs;
    r.endTimeMs = step.endTimeMs;
    r.initialLevel = step.initialLevel;
    r.finalLevel = step.finalLevel;
    return r;
}

}  // namespace qx
