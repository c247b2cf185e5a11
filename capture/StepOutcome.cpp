#include "capture/StepOutcome.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "capture/DecodeSamples.h"
#include "capture/TuningStep.h"

namespace qx {

namespace {

// The largest and smallest values a word of the record holds, in display units.
struct RecordRange {
    double highest = 0.0;
    double lowest = 0.0;
};

RecordRange RangeOf(CaptureKind kind) {
    constexpr double kHigh16 = std::numeric_limits<int16_t>::max();
    constexpr double kLow16 = std::numeric_limits<int16_t>::min();
    constexpr double kHigh32 = std::numeric_limits<int32_t>::max();
    constexpr double kLow32 = std::numeric_limits<int32_t>::min();
    return ForKind(kind, RecordRange{kHigh16 / kCurrentRawPerAmp, kLow16 / kCurrentRawPerAmp},
                   RecordRange{kHigh16 / kSpeedRawPerRpm, kLow16 / kSpeedRawPerRpm},
                   RecordRange{kHigh32, kLow32});
}

}  // namespace

bool AtRecordLimit(CaptureKind kind, float value) {
    const RecordRange r = RangeOf(kind);
    // A 32-bit position held as a float rounds to the nearest float; the limit itself
    // rounds to 2^31 and compares equal to it.
    const auto v = static_cast<double>(value);
    return v >= static_cast<double>(static_cast<float>(r.highest)) ||
           v <= static_cast<double>(static_cast<float>(r.lowest));
}

CaptureOutcome MeasureTuningRecord(const SharedState& state, std::span<const float> feedback) {
    CaptureOutcome o;
    o.captured = true;
    const TuningStep step = TuningStepOf(TuningStepSpecOf(state));
    o.metrics = ComputeStepMetrics(StepResponseOf(step, feedback));
    const CaptureKind kind = KindOf(state.loopCaptureRequest.loopKind);
    for (const float v : feedback) {
        o.saturated = o.saturated || AtRecordLimit(kind, v);
    }
    const double size = std::abs(step.finalLevel - step.initialLevel);
    o.ringing = o.metrics.status == StepStatus::Ok && o.metrics.noise > kRingingNoiseShare * size;
    return o;
}

}  // namespace qx
