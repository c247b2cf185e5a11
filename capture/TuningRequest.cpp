#include "capture/TuningRequest.h"

#include "link/ConnectDrive.h"

namespace qx {

namespace {

constexpr double kHalfPeriod = 0.5;

}  // namespace

void FillTuningRequest(SharedState& state, CaptureKind kind) {
    const LoopCaptureSettings& s = SettingsForLoop(state, kind);
    LoopCaptureRequest& r = state.loopCaptureRequest;
    LoopCaptureRun& run = state.loopCaptureRun;

    // Before a drive was identified the tick length is unknown; the drive's standard
    // one serves rather than a division by zero.
    float msPerTick = state.identity.msPerTick.load();
    if (!(msPerTick > 0.0f)) {
        msPerTick = kMsPerTick;
    }
    // Double precision throughout: the sample position is a float, and its product with
    // the level length must truncate exactly as the drive's tools always have (0.96 of
    // a 300-tick level gives a start of 275, not 276).
    const double ticks = static_cast<double>(s.lastingTimeMs) / static_cast<double>(msPerTick);

    r.loopKind = static_cast<int32_t>(kind);
    r.excitationTicks = static_cast<int32_t>(ticks);
    switch (kind) {
        case CaptureKind::Current:
            r.excitationAmplitude = static_cast<int32_t>(s.range * 128.0f);
            r.constA = kConstACurrent;
            break;
        case CaptureKind::Speed:
            r.excitationAmplitude = static_cast<int32_t>(s.range) * 4;
            r.constA = kConstASpeedPosition;
            break;
        case CaptureKind::Position:
            r.excitationAmplitude = static_cast<int32_t>(s.range);
            r.constA = kConstASpeedPosition;
            break;
    }
    r.constB = kConstB;
    r.maxValue = kCaptureMaxValue;
    r.minValue = kCaptureMinValue;

    const double x = s.samplePosition;
    if (x > kHalfPeriod) {
        run.triggerPhase = 1;
        run.triggerStartTicks = static_cast<int32_t>((x - kHalfPeriod) * 2.0 * ticks);
    } else {
        run.triggerPhase = 0;
        run.triggerStartTicks = static_cast<int32_t>(2.0 * x * ticks);
    }
    run.sampleCount = s.sampleCount;
    run.sampleDivider = s.sampleDivider;
}

}  // namespace qx
