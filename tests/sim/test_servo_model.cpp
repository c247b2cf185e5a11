// The simulated motor and drive: gains that suit the motor give clean step responses,
// gains that do not look wrong; and the capture unit's timing as the tool sees it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "capture/StepMetrics.h"
#include "sim/CaptureFeatures.h"
#include "sim/ServoLoopModel.h"

namespace qx::sim {
namespace {

// Response to the step from -A to +A, from the step on, as a fraction of the step's
// size measured from -A (0 before, 1 on target).
std::vector<double> StepFraction(int kind, int32_t amplitude, uint32_t levelTicks, uint32_t divider,
                                 uint32_t count, const LoopGainWords& g) {
    StepTestSpec spec;
    spec.loopKind = kind;
    spec.amplitudeRaw = amplitude;
    spec.levelTicks = levelTicks;
    spec.sampleStartTicks = 2 * levelTicks;  // the second rising step
    spec.sampleCount = count;
    spec.divider = divider;
    const StepTestRecord r = RunStepTest(spec, g);
    std::vector<double> f;
    for (int32_t v : r.feedback) {
        f.push_back((v + amplitude) / (2.0 * amplitude));
    }
    return f;
}

double Peak(const std::vector<double>& f) {
    return *std::max_element(f.begin(), f.end());
}

double TailSpread(const std::vector<double>& f, std::size_t from) {
    const auto [lo, hi] = std::minmax_element(f.begin() + static_cast<long>(from), f.end());
    return *hi - *lo;
}

TEST(ServoLoopModel, TheCurrentLoopFollowsGoodGainsAndShowsBadOnes) {
    const LoopGainWords good;
    const auto f = StepFraction(0, 256, 300, 1, 200, good);
    EXPECT_GT(f[8], 0.9) << "on target within 2 ms";
    EXPECT_LT(Peak(f), 1.08);
    EXPECT_NEAR(f.back(), 1.0, 0.05);

    LoopGainWords highLs = good;
    highLs.lsRaw = static_cast<uint16_t>(good.lsRaw * 5);
    EXPECT_GT(TailSpread(StepFraction(0, 256, 300, 1, 200, highLs), 100), 0.5)
        << "five times the inductance: the loop oscillates";

    LoopGainWords lowLs = good;
    lowLs.lsRaw = good.lsRaw / 8;
    const auto slow = StepFraction(0, 256, 300, 1, 200, lowLs);
    EXPECT_LT(slow[2], 0.6) << "an eighth of the inductance: sluggish";

    LoopGainWords lowKi = good;
    lowKi.ki = 100;
    EXPECT_LT(StepFraction(0, 256, 300, 1, 200, lowKi)[80], 0.95) << "a weak integral creeps";
}

TEST(ServoLoopModel, TheSpeedLoopSettlesWithGoodGainsAndRingsWithBadOnes) {
    const LoopGainWords good;
    const auto f = StepFraction(1, 400, 500, 4, 256, good);  // +-100 rpm
    EXPECT_LT(Peak(f), 1.25);
    EXPECT_NEAR(f.back(), 1.0, 0.05);

    LoopGainWords lowKp = good;
    lowKp.speedKp = 5;
    EXPECT_GT(Peak(StepFraction(1, 400, 500, 4, 256, lowKp)), 1.3);

    LoopGainWords shortTrc = good;
    shortTrc.speedTrc = 3;
    EXPECT_GT(TailSpread(StepFraction(1, 400, 500, 4, 256, shortTrc), 128), 0.1);
}

TEST(ServoLoopModel, ThePositionLoopArrivesWithGoodGainsAndOvershootsWithAHighKp) {
    const LoopGainWords good;
    const auto f = StepFraction(2, 100000, 1000, 16, 250, good);
    EXPECT_LT(Peak(f), 1.01);
    EXPECT_NEAR(f.back(), 1.0, 0.005);

    LoopGainWords highKp = good;
    highKp.positionKp = 4000;
    EXPECT_GT(Peak(StepFraction(2, 100000, 1000, 16, 250, highKp)), 1.02);

    LoopGainWords lowKp = good;
    lowKp.positionKp = 40;
    EXPECT_LT(StepFraction(2, 100000, 1000, 16, 125, lowKp).back(), 0.9) << "sluggish";
}

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

TEST(ServoLoopModel, RecordingLastsTheExcitationUpToSamplingAndTheSamplingItself) {
    StepTestSpec spec;
    spec.sampleStartTicks = 575;
    spec.sampleCount = 512;
    spec.divider = 1;
    EXPECT_EQ(RecordingTimeUs(spec), 575'000u + 128'000u);
    spec.divider = 16;
    EXPECT_EQ(RecordingTimeUs(spec), 575'000u + 2'048'000u);
}

std::vector<uint8_t> Request(uint8_t command, std::vector<uint8_t> payload) {
    std::vector<uint8_t> f;
    f.reserve(payload.size() + 6);
    f.push_back(0xAA);
    f.push_back(command);
    f.push_back(0);
    f.push_back(static_cast<uint8_t>((payload.size() + 6) / 2));
    for (uint8_t b : payload) {
        f.push_back(b);
    }
    uint32_t sum = 0;
    for (uint8_t b : f) {
        sum += b;
    }
    f.push_back(static_cast<uint8_t>(sum >> 8));
    f.push_back(static_cast<uint8_t>(sum & 0xFF));
    return f;
}

bool Acknowledged(const Frame& reply) {
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
    const auto poll = Request(0xC2, {});
    EXPECT_FALSE(Acknowledged(drive.handleRequest(poll, 0)));
    EXPECT_EQ(handedOn, 1) << "no step test: the earlier handler answers";

    // No step test before a set-up.
    const auto step =
        Request(0xC1, {0x00, 0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0x40, 0x00, 0x01});
    EXPECT_FALSE(Acknowledged(drive.handleRequest(step, 0)));
    const auto setup =
        Request(0xC1, {0x00, 0x10, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x00, 0x80, 0x32,
                       0x00, 0x5D, 0xC0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00});
    EXPECT_TRUE(Acknowledged(drive.handleRequest(setup, 0)));
    EXPECT_TRUE(Acknowledged(drive.handleRequest(step, 1'000'000)));
    // 310 ms of excitation and 16 ms of sampling.
    EXPECT_FALSE(Acknowledged(drive.handleRequest(poll, 1'000'000 + 325'000)));
    EXPECT_TRUE(Acknowledged(drive.handleRequest(poll, 1'000'000 + 326'000)));
    EXPECT_EQ(handedOn, 1);
    EXPECT_FALSE(Acknowledged(drive.handleRequest(poll, 1'000'000 + 327'000)));
    EXPECT_EQ(handedOn, 2) << "the record is complete: other polls are handed on again";

    // The record: command then feedback of each point, from word 1024 on.
    EXPECT_EQ(drive.read(1024), 0xFF80) << "-1 A: sampling starts in the low level";
    EXPECT_NE(drive.read(1025), 0);
}

TEST(CaptureFeatures, AStepTestOfAnotherLoopOrTooManyPointsIsRefused) {
    SimDrive drive;
    InstallCaptureFeatures(drive);
    const auto setup =
        Request(0xC1, {0x00, 0x10, 0x00, 0x02, 0x03, 0xE8, 0x00, 0x01, 0x86, 0xA0, 0x50,
                       0x00, 0x5D, 0xC0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00});
    EXPECT_TRUE(Acknowledged(drive.handleRequest(setup, 0)));
    const auto current =
        Request(0xC1, {0x00, 0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0x40, 0x00, 0x01});
    EXPECT_FALSE(Acknowledged(drive.handleRequest(current, 0)));
    const auto tooMany =
        Request(0xC1, {0x00, 0x12, 0x00, 0x02, 0x00, 0x01, 0x00, 0x0A, 0x02, 0x01, 0x00, 0x10});
    EXPECT_FALSE(Acknowledged(drive.handleRequest(tooMany, 0)));
}

}  // namespace
}  // namespace qx::sim
