// Step metrics against analytic responses sampled as a current record is (4 kHz, the
// step 25 ms into 512 points), and the step a tuning record holds.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "capture/TuningStep.h"

namespace qx {
namespace {

constexpr double kPeriodMs = 0.25;
constexpr double kStepMs = 25.0;
using Unit = std::function<double(double)>;  // a unit step response: 0 before, 1 at the end

Unit First(double tau) {
    return [tau](double t) { return 1.0 - std::exp(-t / tau); };
}
Unit Second(double zeta, double omega = 0.3) {
    return [=](double t) {
        const double root = std::sqrt(1.0 - zeta * zeta);
        return 1.0 -
               std::exp(-zeta * omega * t) / root * std::sin(omega * root * t + std::acos(zeta));
    };
}

struct Record {
    std::vector<float> y;
    StepResponse step;
    StepMetrics Measure() {
        step.response = y;
        return ComputeStepMetrics(step);
    }
};

// `unit` sampled from `from` to `to`, ending at `reach` of the step, optionally with the
// simulated drive's noise and its 1/128 A resolution.
Record Sample(const Unit& unit, double from, double to, double noise, double reach = 1) {
    Record r{{}, {{}, kPeriodMs, kStepMs, INFINITY, from, to}};
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0.0, noise > 0.0 ? noise : 1.0);
    for (int i = 0; i < 512; ++i) {
        const double t = i * kPeriodMs - kStepMs;
        const double v = from + (to - from) * reach * (t < 0.0 ? 0.0 : unit(t));
        r.y.push_back(
            static_cast<float>(noise > 0.0 ? std::trunc((v + n(rng)) * 128.0) / 128.0 : v));
    }
    return r;
}

TEST(StepMetrics, AnalyticResponses) {
    const Unit buzz = [](double t) { return 1.0 + (std::lround(t / kPeriodMs) % 2 ? 0.2 : -0.2); };
    const Unit twice = [](double t) { return t < 1 ? 0.5 : t < 80 ? 1 : t < 90 ? 1.05 : 0.95; };
    // Rise 2.197 tau and settling 3.912 tau (first order); overshoot exp(-pi zeta /
    // sqrt(1 - zeta^2)) at pi / omega_d. NAN: not checked.
    const struct {
        Unit unit;
        double from, to, noise, reach;
        double rise, overshoot, settling, peak, peakTime, error, tolerance;
        bool settled, oscillating;
    } cases[] = {
        {First(5), -1, 1, 0, 1, 10.986, 0, 19.560, 1, NAN, 0, 0.005, true, false},
        {First(5), 1, -1, 0, 1, 10.986, 0, 19.560, -1, NAN, 0, 0.005, true, false},
        {Second(0.3), -1, 1, 0, 1, NAN, 37.23, NAN, 1.7446, 10.978, 0, 0.01, true, false},
        {Second(0.7), -1, 1, 0, 1, NAN, 4.60, NAN, 1.0920, 14.664, 0, 0.01, true, false},
        {First(5), -1, 1, 0.02, 1, 10.986, 0, 19.560, NAN, NAN, 0, 0.15, true, false},
        {First(5), -1, 1, 0.017, 1, 10.986, 0, 19.560, NAN, NAN, 0, 0.15, true, false},
        {Second(0.01), -1, 1, 0, 1, NAN, NAN, NAN, NAN, NAN, NAN, 0, false, true},  // rings on
        {buzz, -1, 1, 0, 1, NAN, NAN, NAN, NAN, NAN, NAN, 0, false, true},   // no crossings left
        {twice, -1, 1, 0, 1, NAN, NAN, NAN, NAN, NAN, NAN, 0, false, true},  // out late, twice
        {First(2), -1, 1, 0, 0.95, NAN, NAN, NAN, NAN, NAN, 0.1, 0, false, false},  // 5 % short
        {First(500), -1, 1, 0, 1, NAN, 0, NAN, NAN, NAN, NAN, 0, false, false},     // 90 % never
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rise << " " << c.overshoot << " " << c.noise);
        const StepMetrics m = Sample(c.unit, c.from, c.to, c.noise, c.reach).Measure();
        ASSERT_EQ(m.status, StepStatus::Ok);
        EXPECT_EQ(std::pair(m.firstPoint, m.endPoint), std::pair(100, 512));
        EXPECT_EQ(std::pair(m.settled, m.oscillating), std::pair(c.settled, c.oscillating));
        const double tol = c.tolerance;
        if (!std::isnan(c.rise)) {
            EXPECT_NEAR(m.riseTimeMs, c.rise, c.rise * tol);
            EXPECT_NEAR(m.settlingTimeMs, c.settling, c.settling * tol);
            EXPECT_NEAR(m.absErrorIntegralMs, 5.0, 5.0 * tol * 2);
        }
        if (!std::isnan(c.overshoot)) {  // noise may add about a point of overshoot
            EXPECT_NEAR(m.overshootPercent, c.overshoot, tol > 0.05 ? 1 : 0.05 + c.overshoot * tol);
        }
        EXPECT_TRUE(std::isnan(c.peak) || std::abs(m.peakValue - c.peak) < 1e-3) << m.peakValue;
        EXPECT_TRUE(std::isnan(c.peakTime) ||
                    std::abs(m.peakTimeMs - c.peakTime) < kPeriodMs + c.peakTime * tol);
        EXPECT_TRUE(std::isnan(c.error) || std::abs(m.steadyStateError - c.error) < 0.01);
        EXPECT_EQ(std::isnan(m.settlingTimeMs), !c.settled);
        // The noise is estimated, then averaged out over the fewest odd number of points
        // that keeps it kNoiseBandSigmas deviations inside the settling band.
        const auto inBand = [&](int n) {
            return kNoiseBandSigmas * m.noise / 2 / std::sqrt(n) <= kSettlingBandShare;
        };
        const int n = m.smoothingPoints;
        EXPECT_TRUE(tol == 0 || (n % 2 == 1 && inBand(n) && (n == 1 || !inBand(n - 2)))) << n;
        EXPECT_TRUE(tol == 0 || std::abs(m.noise - c.noise) < 0.003) << m.noise;
    }
    const StepMetrics slow = Sample(First(500), -1, 1, 0).Measure();
    EXPECT_TRUE(std::isnan(slow.riseTimeMs) && !std::isnan(slow.riseStartMs));
}

TEST(StepMetrics, AStepOutsideTheRecordOrTooFewPointsAfterIt) {
    const struct {
        double stepMs, endMs, from;
        StepStatus status;
    } cases[] = {
        {128.0, INFINITY, -1, StepStatus::StepOutsideRecord},  // after the last point
        {127.75, INFINITY, -1, StepStatus::TooFewPoints},      // on it
        {0.0, INFINITY, -1, StepStatus::Ok},
        {-0.5, INFINITY, -1, StepStatus::StepOutsideRecord},
        {126.5, INFINITY, -1, StepStatus::TooFewPoints},  // 6 points after it
        {25.0, 26.75, -1, StepStatus::TooFewPoints},      // the next change after 7
        {25.0, 27.0, -1, StepStatus::Ok},                 // after 8
        {25.0, INFINITY, 1, StepStatus::NoStep},
        {NAN, INFINITY, -1, StepStatus::NoStep},
    };
    for (const auto& c : cases) {
        Record r = Sample(First(2), -1, 1, 0);
        r.step.stepTimeMs = c.stepMs;
        r.step.endTimeMs = c.endMs;
        r.step.initialLevel = c.from;
        EXPECT_EQ(r.Measure().status, c.status) << c.stepMs << " " << c.endMs;
    }
    Record r = Sample(First(2), -1, 1, 0);
    r.step.endTimeMs = 27.0;
    EXPECT_EQ(r.Measure().finalValue, r.y[107]) << "the last tenth of 8 points: the last";
}

TEST(TuningStep, WhereTheExcitationChangesInsideTheRecord) {
    using K = CaptureKind;
    const struct {
        TuningStepSpec spec;
        bool known;
        double period, stepMs, endMs, from, to;
    } cases[] = {
        // The current loop's start-up settings: 0.96 of 300 ms levels, 1 A, 4000 Hz.
        {{K::Current, 300, 128, 1, 275, 1, 4000, 1.0f}, true, 0.25, 25, 325, -1, 1},
        // The position loop's: 0.95 of 1000 ms, 100000 pulses, 250 Hz.
        {{K::Position, 1000, 100000, 1, 900, 16, 4000, 1.0f}, true, 4, 100, 1100, -1e5, 1e5},
        // Sampling from 0.25 of the period: high to low; from half of it, at the first point.
        {{K::Speed, 500, 10000, 0, 250, 4, 4000, 1.0f}, true, 1, 250, 750, 2500, -2500},
        {{K::Speed, 500, 10000, 0, 500, 4, 4000, 1.0f}, true, 1, 0, 500, 2500, -2500},
        // One tick into the second level; from the start of the excitation, from rest.
        {{K::Current, 300, 128, 1, 1, 1, 4000, 1.0f}, true, 0.25, 299, 599, -1, 1},
        {{K::Current, 300, 256, 0, 0, 2, 4000, 1.0f}, true, 0.5, 0, 300, 0, 2},
        // No base rate, no excitation, no amplitude, no tick length: not known.
        {{K::Current, 300, 128, 1, 275, 1, 0, 1.0f}, false, 0, 0, 0, 0, 0},
        {{K::Current, 0, 128, 1, 275, 1, 4000, 1.0f}, false, 0, 0, 0, 0, 0},
        {{K::Current, 300, 0, 1, 275, 1, 4000, 1.0f}, false, 0, 0, 0, 0, 0},
        {{K::Current, 300, 128, 1, 275, 1, 4000, 0.0f}, false, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const TuningStep s = TuningStepOf(c.spec);
        ASSERT_EQ(s.known, c.known);
        if (c.known) {
            EXPECT_EQ(std::tuple(s.samplePeriodMs, s.stepTimeMs, s.endTimeMs, s.initialLevel,
                                 s.finalLevel),
                      std::tuple(c.period, c.stepMs, c.endMs, c.from, c.to));
        }
    }
}

}  // namespace
}  // namespace qx
