#include "capture/StepMetrics.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

// The mean magnitude of the second difference x[i+1] - 2 x[i] + x[i-1] of white noise
// is sqrt(12 / pi) times its standard deviation.
constexpr double kSecondDifferencePerSigma = 1.9544100476116797;
// Times within this share of a sample period of a point count as on the point.
constexpr double kOnPointTolerance = 1e-9;

// The first point at or after `timeMs`.
int PointAtOrAfter(double timeMs, double periodMs) {
    const double at = timeMs / periodMs;
    const double nearest = std::round(at);
    return static_cast<int>(std::abs(at - nearest) < kOnPointTolerance ? nearest : std::ceil(at));
}

// Where a straight line from (t0, v0) to (t1, v1) passes `level` (v0 < level <= v1, or
// the reverse).
double Crossing(double t0, double v0, double t1, double v1, double level) {
    return t0 + (level - v0) / (v1 - v0) * (t1 - t0);
}

// The response as a share of the step (0 before it, 1 at the final level), averaged
// over up to `half` points either side within [first, end).
class Normalised {
  public:
    Normalised(const StepResponse& s, int first, int end, int half)
        : y_(s.response),
          initial_(s.initialLevel),
          step_(s.finalLevel - s.initialLevel),
          first_(first),
          end_(end),
          half_(half) {}

    double raw(int i) const { return (static_cast<double>(y_[i]) - initial_) / step_; }

    double smoothed(int i) const {
        const int lo = std::max(first_, i - half_);
        const int hi = std::min(end_ - 1, i + half_);
        double sum = 0.0;
        for (int k = lo; k <= hi; ++k) {
            sum += raw(k);
        }
        return sum / (hi - lo + 1);
    }

  private:
    std::span<const float> y_;
    double initial_;
    double step_;
    int first_;
    int end_;
    int half_;
};

// Standard deviation of the noise on the normalised response, from the second half of
// the stretch, where the response has mostly come to rest and its own curvature adds
// little to the second differences.
double NoiseOf(const Normalised& u, int first, int end) {
    const int from = std::max(first + (end - first) / 2, first + 1);
    double sum = 0.0;
    int count = 0;
    for (int i = from; i + 1 < end; ++i) {
        sum += std::abs(u.raw(i + 1) - 2.0 * u.raw(i) + u.raw(i - 1));
        ++count;
    }
    return count > 0 ? sum / count / kSecondDifferencePerSigma : 0.0;
}

// Points to average so that noise of `sigma` (as a share of the step) stays
// kNoiseBandSigmas standard deviations inside the settling band: an odd number.
int SmoothingPoints(double sigma) {
    const double ratio = kNoiseBandSigmas * sigma / kSettlingBandShare;
    const double needed = std::ceil(ratio * ratio);
    if (!(needed > 1.0)) {
        return 1;
    }
    if (needed >= kMaxSmoothingPoints) {
        return kMaxSmoothingPoints;
    }
    const int n = static_cast<int>(needed);
    return n % 2 == 0 ? n + 1 : n;
}

bool InputsUsable(const StepResponse& s) {
    return std::isfinite(s.samplePeriodMs) && s.samplePeriodMs > 0.0 &&
           std::isfinite(s.stepTimeMs) && !std::isnan(s.endTimeMs) &&
           std::isfinite(s.initialLevel) && std::isfinite(s.finalLevel) &&
           s.finalLevel != s.initialLevel;
}

}  // namespace

StepMetrics ComputeStepMetrics(const StepResponse& s) {
    StepMetrics m;
    if (!InputsUsable(s)) {
        return m;
    }
    const double period = s.samplePeriodMs;
    const int count = static_cast<int>(s.response.size());
    if (count == 0 || s.stepTimeMs < 0.0 || s.stepTimeMs > (count - 1) * period) {
        m.status = StepStatus::StepOutsideRecord;
        return m;
    }
    const int first = PointAtOrAfter(s.stepTimeMs, period);
    const int end = s.endTimeMs >= count * period
                        ? count
                        : std::clamp(PointAtOrAfter(s.endTimeMs, period), 0, count);
    m.firstPoint = first;
    m.endPoint = std::max(end, first);
    if (end - first < kMinStepPoints) {
        m.status = StepStatus::TooFewPoints;
        return m;
    }
    m.status = StepStatus::Ok;
    const double step = s.finalLevel - s.initialLevel;
    const double sigma = NoiseOf(Normalised(s, first, end, 0), first, end);
    m.noise = sigma * std::abs(step);
    m.smoothingPoints = SmoothingPoints(sigma);
    const Normalised u(s, first, end, m.smoothingPoints / 2);

    const int stretch = end - first;
    const int mid = first + stretch / 2;
    double peak = -std::numeric_limits<double>::infinity();
    double prevT = 0.0;
    double prevU = 0.0;
    double prevRaw = 0.0;
    double integral = 0.0;
    int lastOutside = first - 1;
    double outsideErr = 0.0;
    double afterOutsideErr = 0.0;
    int side = 0;
    int lateSideChanges = 0;
    for (int i = first; i < end; ++i) {
        const double t = i * period - s.stepTimeMs;
        const double v = u.smoothed(i);
        const double r = u.raw(i);
        const bool hasPrev = i > first;
        if (std::isnan(m.riseStartMs) && r >= kRiseStartShare) {
            m.riseStartMs = hasPrev ? Crossing(prevT, prevRaw, t, r, kRiseStartShare) : t;
        }
        if (std::isnan(m.riseEndMs) && r >= kRiseEndShare) {
            m.riseEndMs = hasPrev ? Crossing(prevT, prevRaw, t, r, kRiseEndShare) : t;
        }
        if (v > peak) {
            peak = v;
            m.peakTimeMs = t;
        }
        const double err = std::abs(1.0 - v);
        if (i == lastOutside + 1) {
            afterOutsideErr = err;
        }
        if (err > kSettlingBandShare) {
            lastOutside = i;
            outsideErr = err;
            const int now = v > 1.0 ? 1 : -1;
            if (side != 0 && now != side && i >= mid) {
                ++lateSideChanges;
            }
            side = now;
        }
        // Trapezoids between points; before the first point the error is taken as there.
        integral += hasPrev ? (err + std::abs(1.0 - prevU)) / 2.0 * period : err * t;
        prevT = t;
        prevU = v;
        prevRaw = r;
    }

    if (!std::isnan(m.riseEndMs)) {
        m.riseTimeMs = m.riseEndMs - m.riseStartMs;
    }
    m.peakValue = s.initialLevel + step * peak;
    const double noiseFloor = kOvershootNoiseSigmas * sigma / std::sqrt(m.smoothingPoints);
    m.overshootPercent = peak - 1.0 > noiseFloor ? (peak - 1.0) * 100.0 : 0.0;
    m.absErrorIntegralMs = integral;

    const int needed =
        std::max(kMinSettledPoints, static_cast<int>(std::ceil(kMinSettledShare * stretch)));
    if (lastOutside < first) {
        m.settled = true;
        m.settlingTimeMs = std::max(0.0, first * period - s.stepTimeMs);
    } else if (end - 1 - lastOutside >= needed) {
        m.settled = true;
        const double t = lastOutside * period - s.stepTimeMs;
        m.settlingTimeMs = Crossing(t, outsideErr, t + period, afterOutsideErr, kSettlingBandShare);
    }
    m.oscillating =
        !m.settled && (lateSideChanges >= kOscillationSideChanges || sigma > kRingingNoiseShare);

    const int tail = std::max(1, static_cast<int>(std::lround(kSteadyTailShare * stretch)));
    double sum = 0.0;
    for (int i = end - tail; i < end; ++i) {
        sum += s.response[static_cast<std::size_t>(i)];
    }
    m.finalValue = sum / tail;
    m.steadyStateError = s.finalLevel - m.finalValue;
    return m;
}

}  // namespace qx
