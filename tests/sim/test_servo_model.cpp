// The simulated motor and drive: on both motors, gains that suit the motor give clean
// step responses and more gain overshoots, then oscillates; and the capture unit's timing
// as the tool sees it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "capture/StepMetrics.h"
#include "link/DriveLink.h"
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

// Whether the drive acknowledged `payload` (command 0xC2 when empty, else 0xC1) at `us`.
bool Acknowledged(SimDrive& drive, std::vector<uint8_t> payload, uint64_t us) {
    std::vector<uint8_t> frame(payload.size() + 6);
    BuildFrame(payload.empty() ? 0xC2 : 0xC1, 0, payload, frame);
    const Frame reply = drive.handleRequest(frame, us);
    return reply.size() >= 6 && reply[4] == 0xAA && reply[5] == 0x55;
}

TEST(CaptureFeatures, PollsAreBusyOnlyWhileAStepTestRecords) {
    SimDrive drive;
    int handedOn = 0;
    drive.setPollHandler([&](SimDrive&, uint64_t) {
        ++handedOn;
        return Answer::NotAcknowledged();
    });
    InstallCaptureFeatures(drive);
    const std::vector<uint8_t> step = {0x00, 0x12, 0x00, 0x00, 0x00, 0x01,
                                       0x00, 0x0A, 0x00, 0x40, 0x00, 0x01};
    EXPECT_FALSE(Acknowledged(drive, {}, 0) || Acknowledged(drive, step, 0)) << "no set-up yet";
    EXPECT_EQ(handedOn, 1) << "no step test: the earlier handler answers the poll";
    EXPECT_TRUE(Acknowledged(drive,
                             {0x00, 0x10, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x00, 0x80, 0x32,
                              0x00, 0x5D, 0xC0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00},
                             0));
    EXPECT_TRUE(Acknowledged(drive, step, 1'000'000));
    // 310 ms of excitation and 16 ms of sampling; then other polls are handed on again.
    EXPECT_FALSE(Acknowledged(drive, {}, 1'000'000 + 325'000));
    EXPECT_TRUE(Acknowledged(drive, {}, 1'000'000 + 326'000));
    EXPECT_EQ(handedOn, 1);
    EXPECT_FALSE(Acknowledged(drive, {}, 1'000'000 + 327'000));
    EXPECT_EQ(handedOn, 2);
    // The record: command then feedback of each point, from word 1024 on.
    EXPECT_EQ(drive.read(1024), 0xFF80) << "-1 A: sampling starts in the low level";
    EXPECT_NE(drive.read(1025), 0);
}

}  // namespace
}  // namespace qx::sim
