// Step metrics against analytic responses sampled as a current record is (4 kHz, the
// step 25 ms into 512 points), and the step a tuning record holds.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "capture/TuningStep.h"

namespace qx {
namespace {

constexpr double kPeriodMs = 0.25;
constexpr double kStepMs = 25.0;
constexpr int kPoints = 512;

// Unit step responses: 0 before the step, 1 at the end.
double FirstOrder(double t, double tau) {
    return 1.0 - std::exp(-t / tau);
}

double SecondOrder(double t, double zeta, double omega) {
    const double root = std::sqrt(1.0 - zeta * zeta);
    return 1.0 - std::exp(-zeta * omega * t) / root * std::sin(omega * root * t + std::acos(zeta));
}

struct Record {
    std::vector<float> y;
    StepResponse step;
};

// `unit` sampled from -1 to +1 A (or the reverse), optionally with the simulated
// drive's noise (0.02 A) and its 1/128 A resolution, ending at `reach` of the step.
template <typename F>
Record Sample(F unit, double from = -1.0, double to = 1.0, double noise = 0.0, double reach = 1.0) {
    Record r;
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0.0, noise > 0.0 ? noise : 1.0);
    for (int i = 0; i < kPoints; ++i) {
        const double t = i * kPeriodMs - kStepMs;
        double v = from + (to - from) * reach * (t < 0.0 ? 0.0 : unit(t));
        if (noise > 0.0) {
            v = std::trunc((v + n(rng)) * 128.0) / 128.0;
        }
        r.y.push_back(static_cast<float>(v));
    }
    r.step.samplePeriodMs = kPeriodMs;
    r.step.stepTimeMs = kStepMs;
    r.step.initialLevel = from;
    r.step.finalLevel = to;
    return r;
}

StepMetrics Measure(Record& r) {
    r.step.response = r.y;
    return ComputeStepMetrics(r.step);
}

TEST(StepMetrics, AnalyticResponses) {
    const double tau = 5.0;
    const double omega = 0.3;  // rad/ms
    struct Case {
        const char* name;
        Record record;
        double rise, overshoot, settling, peak, peakTime, tolerance;
    };
    const double tp3 = std::numbers::pi / (omega * std::sqrt(1 - 0.09));
    const double tp7 = std::numbers::pi / (omega * std::sqrt(1 - 0.49));
    Case cases[] = {
        // rise ln 9 tau, settling ln 50 tau, no overshoot, the final level as peak
        {"first order", Sample([&](double t) { return FirstOrder(t, tau); }), std::log(9.0) * tau,
         0.0, std::log(50.0) * tau, 1.0, NAN, 0.005},
        {"first order falling", Sample([&](double t) { return FirstOrder(t, tau); }, 1.0, -1.0),
         std::log(9.0) * tau, 0.0, std::log(50.0) * tau, -1.0, NAN, 0.005},
        // overshoot exp(-pi zeta / sqrt(1 - zeta^2)) of the 2 A step at pi / omega_d
        {"zeta 0.3", Sample([&](double t) { return SecondOrder(t, 0.3, omega); }), NAN, 37.23, NAN,
         1.7446, tp3, 0.01},
        {"zeta 0.7", Sample([&](double t) { return SecondOrder(t, 0.7, omega); }), NAN, 4.60, NAN,
         1.0920, tp7, 0.01},
        {"zeta 0.7 falling",
         Sample([&](double t) { return SecondOrder(t, 0.7, omega); }, 1.0, -1.0), NAN, 4.60, NAN,
         -1.0920, tp7, 0.01},
        {"first order, noisy", Sample([&](double t) { return FirstOrder(t, tau); }, -1, 1, 0.02),
         std::log(9.0) * tau, 0.0, std::log(50.0) * tau, NAN, NAN, 0.15},
        {"zeta 0.7, noisy",
         Sample([&](double t) { return SecondOrder(t, 0.7, omega); }, -1, 1, 0.02), NAN, 4.60, NAN,
         NAN, NAN, 0.15},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StepMetrics m = Measure(c.record);
        ASSERT_EQ(m.status, StepStatus::Ok);
        EXPECT_EQ(m.firstPoint, 100);
        EXPECT_EQ(m.endPoint, kPoints);
        const double tol = c.tolerance;
        if (!std::isnan(c.rise)) {
            EXPECT_NEAR(m.riseTimeMs, c.rise, c.rise * tol);
            EXPECT_NEAR(m.settlingTimeMs, c.settling, c.settling * tol);
            EXPECT_NEAR(m.absErrorIntegralMs, tau, tau * tol * 2);
        }
        // Noise may add up to about a point of overshoot.
        EXPECT_NEAR(m.overshootPercent, c.overshoot, tol > 0.05 ? 1.0 : 0.05 + c.overshoot * tol);
        if (!std::isnan(c.peak)) {
            EXPECT_NEAR(m.peakValue, c.peak, 1e-3);
        }
        if (!std::isnan(c.peakTime)) {
            EXPECT_NEAR(m.peakTimeMs, c.peakTime, kPeriodMs + c.peakTime * tol);
        }
        EXPECT_TRUE(m.settled);
        EXPECT_FALSE(m.oscillating);
        EXPECT_NEAR(m.steadyStateError, 0.0, 0.01);
        // The noise is estimated, and averaged out over an odd number of points.
        EXPECT_EQ(m.smoothingPoints % 2, 1);
        EXPECT_EQ(m.smoothingPoints > 1, c.tolerance > 0.05);
        EXPECT_NEAR(m.noise, c.tolerance > 0.05 ? 0.02 : 0.0, 0.003);
    }
}

TEST(StepMetrics, UnsettledOutsideAndShortRecords) {
    // Barely damped: it rings to the end of the record.
    Record ringing = Sample([](double t) { return SecondOrder(t, 0.01, 0.3); });
    StepMetrics m = Measure(ringing);
    EXPECT_FALSE(m.settled);
    EXPECT_TRUE(std::isnan(m.settlingTimeMs));
    EXPECT_TRUE(m.oscillating);

    // Ringing at half the sample rate, 20 % either side: no crossings survive averaging.
    Record buzzing =
        Sample([](double t) { return 1.0 + (std::lround(t / kPeriodMs) % 2 ? 0.2 : -0.2); });
    m = Measure(buzzing);
    EXPECT_FALSE(m.settled);
    EXPECT_TRUE(m.oscillating);

    // Stays 5 % short of the command: never within 2 %, not ringing, 0.1 A missing.
    Record shy = Sample([](double t) { return FirstOrder(t, 2.0); }, -1, 1, 0.0, 0.95);
    m = Measure(shy);
    EXPECT_FALSE(m.settled);
    EXPECT_FALSE(m.oscillating);
    EXPECT_NEAR(m.steadyStateError, 0.1, 1e-6);
    EXPECT_NEAR(m.finalValue, 0.9, 1e-6);

    // Slow: the 90 % point is never reached.
    Record slow = Sample([](double t) { return FirstOrder(t, 500.0); });
    m = Measure(slow);
    EXPECT_TRUE(std::isnan(m.riseTimeMs));
    EXPECT_FALSE(std::isnan(m.riseStartMs));
    EXPECT_EQ(m.overshootPercent, 0.0);

    struct Bad {
        double stepMs, endMs, from, to;
        StepStatus status;
    };
    const Bad bad[] = {
        {128.0, INFINITY, -1, 1, StepStatus::StepOutsideRecord},  // after the last point
        {127.75, INFINITY, -1, 1, StepStatus::TooFewPoints},      // on it
        {0.0, INFINITY, -1, 1, StepStatus::Ok},
        {-0.5, INFINITY, -1, 1, StepStatus::StepOutsideRecord},
        {126.5, INFINITY, -1, 1, StepStatus::TooFewPoints},  // 6 points after it
        {25.0, 26.75, -1, 1, StepStatus::TooFewPoints},      // the next change after 7
        {25.0, 27.0, -1, 1, StepStatus::Ok},                 // after 8
        {25.0, INFINITY, 1, 1, StepStatus::NoStep},
        {NAN, INFINITY, -1, 1, StepStatus::NoStep},
    };
    for (const Bad& b : bad) {
        Record r = Sample([](double t) { return FirstOrder(t, 2.0); });
        r.step.stepTimeMs = b.stepMs;
        r.step.endTimeMs = b.endMs;
        r.step.initialLevel = b.from;
        r.step.finalLevel = b.to;
        EXPECT_EQ(Measure(r).status, b.status) << b.stepMs << " " << b.endMs;
    }
}

TEST(TuningStep, WhereTheExcitationChangesInsideTheRecord) {
    struct Case {
        CaptureKind kind;
        int32_t ticks, amplitude, phase, start, divider;
        double period, stepMs, endMs, from, to;
    };
    const Case cases[] = {
        // The current loop's start-up settings: 0.96 of 300 ms levels, 1 A, 4000 Hz.
        {CaptureKind::Current, 300, 128, 1, 275, 1, 0.25, 25, 325, -1, 1},
        // The position loop's: 0.95 of 1000 ms, 100000 pulses, 250 Hz.
        {CaptureKind::Position, 1000, 100000, 1, 900, 16, 4, 100, 1100, -100000, 100000},
        // Sampling from 0.25 of the period: high to low.
        {CaptureKind::Speed, 500, 10000, 0, 250, 4, 1, 250, 750, 2500, -2500},
        // From exactly half the period: the change is at the first point.
        {CaptureKind::Speed, 500, 10000, 0, 500, 4, 1, 0, 500, 2500, -2500},
        // One tick into the second level.
        {CaptureKind::Current, 300, 128, 1, 1, 1, 0.25, 299, 599, -1, 1},
        // From the start of the excitation: from rest.
        {CaptureKind::Current, 300, 256, 0, 0, 2, 0.5, 0, 300, 0, 2},
    };
    for (const Case& c : cases) {
        TuningStepSpec spec{c.kind, c.ticks, c.amplitude, c.phase, c.start, c.divider, 4000, 1.0f};
        const TuningStep s = TuningStepOf(spec);
        ASSERT_TRUE(s.known);
        EXPECT_EQ(s.samplePeriodMs, c.period);
        EXPECT_EQ(s.stepTimeMs, c.stepMs);
        EXPECT_EQ(s.endTimeMs, c.endMs);
        EXPECT_EQ(s.initialLevel, c.from);
        EXPECT_EQ(s.finalLevel, c.to);
    }
    EXPECT_FALSE(TuningStepOf({CaptureKind::Current, 300, 128, 1, 275, 1, 0, 1.0f}).known);
    EXPECT_FALSE(TuningStepOf({CaptureKind::Current, 0, 128, 1, 275, 1, 4000, 1.0f}).known);
    EXPECT_FALSE(TuningStepOf({CaptureKind::Current, 300, 0, 1, 275, 1, 4000, 1.0f}).known);
    EXPECT_FALSE(TuningStepOf({CaptureKind::Current, 300, 128, 1, 275, 1, 4000, 0.0f}).known);
}

}  // namespace
}  // namespace qx
