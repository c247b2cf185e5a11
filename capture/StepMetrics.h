#pragma once

// Figures of a loop's step response, as a tuning engineer reads them off a record: how
// fast it rises, how far it overshoots, how long it rings and where it ends. Computed
// from the decoded record and the step the drive is known to have applied; plain
// arithmetic over the record, no allocation, a few microseconds for 1024 points.
//
// Every figure is measured against the commanded levels, not against where the response
// ends up: the engineer tunes towards the command. A response that stays short of it
// shows that as its steady-state error, and it may then never settle.
//
// Noise: a drive's feedback carries measurement noise that would leave a +-2 % band now
// and then long after the loop has settled. For the band, the peak and the error
// integral the response is therefore averaged over a few neighbouring points (a centred
// running mean), as many as needed for the estimated noise to stay well inside the band;
// a clean record is used as it stands. The rise is timed on the points themselves, where
// the response is steep and averaging would only slow it down.

#include <cstdint>
#include <limits>
#include <span>

namespace qx {

// Thresholds, as shares of the step (final level minus initial level).
inline constexpr double kRiseStartShare = 0.1;
inline constexpr double kRiseEndShare = 0.9;
inline constexpr double kSettlingBandShare = 0.02;
// The steady state is the mean of this share of the points at the end of the stretch.
inline constexpr double kSteadyTailShare = 0.1;
// Fewer points after the step than this give no figures at all.
inline constexpr int kMinStepPoints = 8;
// A response counts as settled only when it stays in the band for at least this share
// of the stretch (and kMinSettledPoints), so that a ringing record passing through the
// band at its very end is not taken for a settled one.
inline constexpr double kMinSettledShare = 0.05;
inline constexpr int kMinSettledPoints = 3;
// The averaged noise stays this many standard deviations inside the band, so that it
// leaves the band practically never once the response has settled.
inline constexpr double kNoiseBandSigmas = 6.0;
// A peak beyond the final level by no more than this many standard deviations of the
// averaged noise is noise, not overshoot.
inline constexpr double kOvershootNoiseSigmas = 4.0;
// The widest running mean used against noise; wider ones would blur the response.
inline constexpr int kMaxSmoothingPoints = 15;
// Band crossings from one side to the other in the second half of the stretch that make
// an unsettled response an oscillating one.
inline constexpr int kOscillationSideChanges = 2;
// "Noise" above this share of the step is the loop ringing at the sample rate, too fast
// to show as crossings once averaged: an unsettled response with it oscillates.
inline constexpr double kRingingNoiseShare = 0.05;

inline constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

// A recorded response and the step that excited it.
struct StepResponse {
    // The loop's feedback in display units (A, rpm, pulses); point i was taken at
    // i * samplePeriodMs.
    std::span<const float> response;
    double samplePeriodMs = 0.0;
    // When the command stepped, from point 0 (it need not fall on a point).
    double stepTimeMs = 0.0;
    // When the command changes again; points from then on are not looked at.
    double endTimeMs = std::numeric_limits<double>::infinity();
    // The command before and after the step, in display units.
    double initialLevel = 0.0;
    double finalLevel = 0.0;
};

enum class StepStatus {
    Ok,
    NoStep,             // the levels are equal, or an input is not a finite number
    StepOutsideRecord,  // the step lies before point 0 or after the last point
    TooFewPoints,       // fewer than kMinStepPoints points between the step and its end
};

// Times are milliseconds from the step. A figure that could not be measured is NaN.
struct StepMetrics {
    StepStatus status = StepStatus::NoStep;
    // From 10 % to 90 % of the step (riseEndMs - riseStartMs); NaN unless both were
    // reached.
    double riseTimeMs = kNotMeasured;
    double riseStartMs = kNotMeasured;  // first reaching 10 %
    double riseEndMs = kNotMeasured;    // first reaching 90 %
    // How far the response passes the final level, in % of the step; 0 when it never does
    // (or by less than its noise).
    double overshootPercent = kNotMeasured;
    // Until the response stays within +-2 % of the step around the final level; NaN and
    // `settled` false when it does not settle within the stretch.
    double settlingTimeMs = kNotMeasured;
    bool settled = false;
    // Still swinging from one side of the band to the other in the second half of the
    // stretch (implies not settled).
    bool oscillating = false;
    // The response farthest in the step's direction, and when.
    double peakValue = kNotMeasured;
    double peakTimeMs = kNotMeasured;
    // Mean of the last 10 % of the stretch, and the final level minus it.
    double finalValue = kNotMeasured;
    double steadyStateError = kNotMeasured;
    // Integral of |final level - response| over the stretch divided by the step's size,
    // in ms: one figure of merit, smaller is better (a first-order lag of time
    // constant tau scores tau).
    double absErrorIntegralMs = kNotMeasured;
    // The stretch looked at: points [firstPoint, endPoint).
    int firstPoint = 0;
    int endPoint = 0;
    // The noise estimated on the response (standard deviation in display units) and the
    // points the running mean averaged because of it (1: none).
    double noise = 0.0;
    int smoothingPoints = 1;
};

// The figures of one step response.
StepMetrics ComputeStepMetrics(const StepResponse& step);

}  // namespace qx
