// The simulated motor: on both motors, gains that suit the motor give clean step
// responses and more gain overshoots, then oscillates.

#include <gtest/gtest.h>

#include <cmath>

#include "capture/StepMetrics.h"
#include "sim/CaptureFeatures.h"
#include "sim/ServoLoopModel.h"

namespace qx::sim {
namespace {

TEST(ServoLoopModel, OnBothMotorsTooMuchGainOvershootsAndThenOscillates) {
    const MotorConstants standard = *SimLoadNamed("standard");
    const MotorConstants heavy = *SimLoadNamed("heavy");
    const struct {
        int kind;
        const MotorConstants& motor;
        int32_t amplitude;  // A x 128, rpm x 4, pulses
        uint32_t levelTicks, divider, count;
        uint16_t LoopGainWords::*gain;
        uint16_t calm, overshoots, oscillates;
    } rows[] = {
        {0, standard, 128, 300, 1, 400, &LoopGainWords::ki, 2000, 8000, 32000},
        {0, heavy, 128, 300, 1, 400, &LoopGainWords::ki, 2000, 8000, 65535},
        // A shorter integral time is more gain.
        {1, standard, 400, 500, 4, 400, &LoopGainWords::speedTrc, 50, 20, 10},
        {1, heavy, 400, 500, 4, 400, &LoopGainWords::speedTrc, 200, 50, 10},
        {2, standard, 2000, 1000, 16, 250, &LoopGainWords::positionKp, 800, 1600, 12800},
        {2, heavy, 2000, 1000, 16, 250, &LoopGainWords::positionKp, 400, 800, 1600},
    };
    for (const auto& r : rows) {
        std::vector<StepMetrics> m;  // in drive units: the step from -amplitude to +amplitude
        for (uint16_t word : {r.calm, r.overshoots, r.oscillates}) {
            LoopGainWords g = CommissionedGains(r.motor);
            g.*r.gain = word;
            const StepTestSpec spec{r.kind,           r.amplitude, r.levelTicks,
                                    2 * r.levelTicks, r.count,     r.divider};
            const std::vector<int32_t> raw = RunStepTest(spec, g, r.motor).feedback;
            const std::vector<float> y(raw.begin(), raw.end());
            m.push_back(qx::ComputeStepMetrics({y, r.divider / 4.0, 0.0, 1.0 * r.levelTicks,
                                                -1.0 * r.amplitude, 1.0 * r.amplitude}));
        }
        EXPECT_TRUE(m[0].settled && m[0].overshootPercent <= 5.0) << r.kind << r.motor.inertiaKgM2;
        EXPECT_TRUE(m[1].settled && m[1].overshootPercent > 5.0) << r.kind << r.motor.inertiaKgM2;
        EXPECT_TRUE(m[2].oscillating) << r.kind << r.motor.inertiaKgM2;
    }
}

}  // namespace
}  // namespace qx::sim
