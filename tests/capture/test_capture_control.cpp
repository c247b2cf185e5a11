// The set-up before a tuning window starts its worker, the servo switch-off after it
// ended, the request a window derives from its capture settings, and decoding.

#include <gtest/gtest.h>

#include "capture/CaptureControl.h"
#include "capture/DecodeSamples.h"
#include "capture/TuningRequest.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Box = RecordingMessageSink::Box;

TEST(SetupCapture, OpensASessionAndSendsTheRequestWithSelectorOne) {
    CaptureRig rig;
    rig.state.link.driveConnected = 0;
    LoopCaptureRequest& r = rig.state.loopCaptureRequest;
    r.loopKind = 1;
    r.excitationTicks = 500;
    r.excitationAmplitude = 10000;
    r.constA = 20480;
    r.constB = 24000;
    r.maxValue = 0x7FFFFFFF;
    r.minValue = 0x80000000;
    EXPECT_EQ(SetupCapture(rig.link, rig.state), kStatusOk);
    EXPECT_EQ(rig.state.link.driveConnected.load(), 1u);
    const std::vector<Request> x = Requests(*rig.drive);
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[0].command, 0xCF);
    EXPECT_EQ(x[1].command, 0xC0);
    EXPECT_EQ(x[1].selector, 0);
    EXPECT_EQ(x[2].selector, 1);
    EXPECT_EQ(x[2].payload,
              (Bytes{0x00, 0x10, 0x00, 0x01, 0x01, 0xF4, 0x00, 0x00, 0x27, 0x10, 0x50,
                     0x00, 0x5D, 0xC0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00}));
}

TEST(SetupCapture, StopsAtTheFirstFailureAndLeavesTheFlag) {
    CaptureRig rig;
    rig.state.link.driveConnected = 0;
    rig.drive->addFault({sim::Fault::Silence, 0xC0, -1, -1, 0, -1});
    EXPECT_NE(SetupCapture(rig.link, rig.state), kStatusOk);
    EXPECT_EQ(rig.state.link.driveConnected.load(), 0u);
    for (const Request& r : Requests(*rig.drive)) {
        EXPECT_NE(r.command, 0xC1);
    }
}

TEST(StopCapture, DisablesTheServo) {
    CaptureRig rig;
    rig.state.link.driveConnected = 0;
    EXPECT_EQ(StopCapture(rig.link, rig.state, rig.messages), kStatusOk);
    EXPECT_TRUE(rig.messages.boxes().empty());
    EXPECT_EQ(rig.state.link.driveConnected.load(), 1u);
    const std::vector<Request> x = Requests(*rig.drive);
    ASSERT_EQ(x.size(), 3u);
    EXPECT_EQ(x[2].selector, 1);
    EXPECT_EQ(x[2].payload, (Bytes{0x00, 0x11, 0x00, 0x50}));
}

TEST(StopCapture, EachFailureHasItsMessage) {
    struct Case {
        int command;
        int sub;
        sim::Fault fault;
        const char* text;
    };
    for (const Case& c : {Case{0xCF, -1, sim::Fault::Silence, "OrderModule Reset Fails!"},
                          Case{0xC0, -1, sim::Fault::BadChecksum, "Connection Setup Fails!"},
                          Case{0xC1, 0x0011, sim::Fault::Silence, "Disable Servo Fails!"}}) {
        SCOPED_TRACE(c.text);
        CaptureRig rig;
        rig.state.link.driveConnected = 0;
        rig.drive->addFault({c.fault, c.command, c.sub, -1, 0, -1});
        EXPECT_NE(StopCapture(rig.link, rig.state, rig.messages), kStatusOk);
        EXPECT_EQ(rig.messages.boxes(), (std::vector<Box>{{c.text, "Warning"}}));
        EXPECT_EQ(rig.state.link.driveConnected.load(), 0u);
    }
}

TEST(StopCapture, ARefusedDisableIsAcceptedSilently) {
    CaptureRig rig;
    rig.state.link.driveConnected = 0;
    rig.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0011, -1, 0, -1});
    EXPECT_EQ(StopCapture(rig.link, rig.state, rig.messages), kStatusNoAck);
    EXPECT_TRUE(rig.messages.boxes().empty());
    EXPECT_EQ(rig.state.link.driveConnected.load(), 0u) << "unchanged";
}

struct RequestCase {
    float position;
    int32_t phase;
    int32_t start;
};

TEST(FillTuningRequest, TheStartPointWithinTheExcitationPeriod) {
    SharedState state;
    ApplyStartupValues(state);
    state.identity.msPerTick = 1.0f;
    for (const RequestCase& c :
         {RequestCase{0.75f, 1, 150}, RequestCase{0.25f, 0, 150}, RequestCase{0.5f, 0, 300},
          RequestCase{0.96f, 1, 275}, RequestCase{0.0f, 0, 0}, RequestCase{1.0f, 1, 300}}) {
        SCOPED_TRACE(c.position);
        state.currentCaptureSettings.lastingTimeMs = 300;
        state.currentCaptureSettings.samplePosition = c.position;
        FillTuningRequest(state, CaptureKind::Current);
        EXPECT_EQ(state.loopCaptureRun.triggerPhase, c.phase);
        EXPECT_EQ(state.loopCaptureRun.triggerStartTicks, c.start);
        EXPECT_EQ(state.loopCaptureRequest.excitationTicks, 300);
    }
}

TEST(FillTuningRequest, AmplitudesConstantsAndSamplingPerLoop) {
    SharedState state;
    ApplyStartupValues(state);
    state.identity.msPerTick = 1.0f;
    state.currentCaptureSettings.range = 2.5f;
    FillTuningRequest(state, CaptureKind::Current);
    const LoopCaptureRequest& r = state.loopCaptureRequest;
    EXPECT_EQ(r.excitationAmplitude, 320);
    EXPECT_EQ(r.loopKind, 0);
    EXPECT_EQ(r.constA, 12800u);
    EXPECT_EQ(r.constB, 24000u);
    EXPECT_EQ(r.maxValue, 0x7FFFFFFFu);
    EXPECT_EQ(r.minValue, 0x80000000u);
    EXPECT_EQ(state.loopCaptureRun.sampleCount, 512);
    EXPECT_EQ(state.loopCaptureRun.sampleDivider, 1);

    FillTuningRequest(state, CaptureKind::Speed);
    EXPECT_EQ(r.excitationAmplitude, 10000);
    EXPECT_EQ(r.loopKind, 1);
    EXPECT_EQ(r.constA, 20480u);
    EXPECT_EQ(r.excitationTicks, 500);
    EXPECT_EQ(state.loopCaptureRun.sampleDivider, 4);

    FillTuningRequest(state, CaptureKind::Position);
    EXPECT_EQ(r.excitationAmplitude, 100000);
    EXPECT_EQ(r.constA, 20480u);
    EXPECT_EQ(state.loopCaptureRun.triggerPhase, 1);
    EXPECT_EQ(state.loopCaptureRun.triggerStartTicks, 899) << "0.95 as a float lies below 0.95";
    EXPECT_EQ(state.loopCaptureRun.sampleDivider, 16);
}

TEST(FillTuningRequest, AnUnknownTickLengthDoesNotDivideByZero) {
    SharedState state;
    ApplyStartupValues(state);
    state.identity.msPerTick = 0.0f;
    FillTuningRequest(state, CaptureKind::Current);
    EXPECT_EQ(state.loopCaptureRequest.excitationTicks, 300);
    EXPECT_EQ(state.loopCaptureRun.triggerStartTicks, 275);
}

Bytes Words16(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) {
        const auto u = static_cast<uint16_t>(v);
        b.push_back(static_cast<uint8_t>(u >> 8));
        b.push_back(static_cast<uint8_t>(u & 0xFF));
    }
    return b;
}

TEST(DecodeSamples, ScalesAndSignExtendsEachKind) {
    PlotData plot;
    DecodeSamples(Words16({128, -64, -32768, 32767}), CaptureKind::Current, 2, plot);
    EXPECT_EQ(plot.trace1[0], 1.0f);
    EXPECT_EQ(plot.trace2[0], -0.5f);
    EXPECT_EQ(plot.trace1[1], -256.0f);
    EXPECT_EQ(plot.trace2[1], 32767.0f / 128.0f);

    DecodeSamples(Words16({10, -6}), CaptureKind::Speed, 1, plot);
    EXPECT_EQ(plot.trace1[0], 2.5f);
    EXPECT_EQ(plot.trace2[0], -1.5f);

    // Position: two 32-bit values, high word first.
    DecodeSamples(Words16({0x0001, 0x86A0, 0xFFFE, 0x7960}), CaptureKind::Position, 1, plot);
    EXPECT_EQ(plot.trace1[0], 100000.0f);
    EXPECT_EQ(plot.trace2[0], -100000.0f);
}

TEST(DecodeSamples, KeepsEntriesBeyondTheCountAndNeverReadsPastTheRecord) {
    PlotData plot;
    plot.trace1.fill(7.0f);
    plot.trace2.fill(7.0f);
    DecodeSamples(Words16({128, 128, 256, 256}), CaptureKind::Current, 1, plot);
    EXPECT_EQ(plot.trace1[0], 1.0f);
    EXPECT_EQ(plot.trace1[1], 7.0f);
    DecodeSamples(Words16({128, 128, 256, 256}), CaptureKind::Current, 1000, plot);
    EXPECT_EQ(plot.trace1[1], 2.0f);
    EXPECT_EQ(plot.trace1[2], 7.0f);
    DecodeSamples(Words16({128, 128}), CaptureKind::Current, -5, plot);
    EXPECT_EQ(plot.trace1[0], 1.0f);
}

TEST(DecodeSamples, WithoutDecodingBothTracesAreCleared) {
    SharedState state;
    ApplyStartupValues(state);
    PlotData plot;
    plot.trace1.fill(3.0f);
    plot.trace2.fill(3.0f);
    DecodeSamples(state, plot, 0);
    for (std::size_t i = 0; i < kTracePoints; ++i) {
        ASSERT_EQ(plot.trace1[i], 0.0f);
        ASSERT_EQ(plot.trace2[i], 0.0f);
    }
}

TEST(DecodeSamples, TakesKindAndCountFromTheCaptureInUse) {
    SharedState state;
    ApplyStartupValues(state);
    const Bytes rec = Words16({0, 0x0100, 0, 0x0200});
    std::copy(rec.begin(), rec.end(), state.sampleBuffer.begin());
    state.loopCaptureRun.tuningActive = 0;
    state.freeRunRequest.monitorType = 2;
    state.freeRunRequest.sampleCount = 1;
    state.loopCaptureRequest.loopKind = 0;
    state.loopCaptureRun.sampleCount = 2;
    PlotData plot;
    DecodeSamples(state, plot, 1);
    EXPECT_EQ(plot.trace1[0], 256.0f);
    EXPECT_EQ(plot.trace2[0], 512.0f);
    state.loopCaptureRun.tuningActive = 1;
    DecodeSamples(state, plot, 1);
    EXPECT_EQ(plot.trace1[0], 0.0f);
    EXPECT_EQ(plot.trace2[0], 2.0f);
    EXPECT_EQ(plot.trace2[1], 4.0f);
}

}  // namespace
}  // namespace qx::test
