// What the transcripts leave out around a tuning capture: the connected flag and the
// boxes of the set-up and the servo switch-off, the request a window derives from its
// capture settings, and decoding a record.

#include <gtest/gtest.h>

#include "capture/CaptureControl.h"
#include "capture/DecodeSamples.h"
#include "capture/TuningRequest.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Box = RecordingMessageSink::Box;

TEST(CaptureControl, SetUpAndSwitchOffSetTheConnectedFlagOnlyWhenTheDriveAnswers) {
    const struct {
        bool stop;  // StopCapture, else SetupCapture
        int command, sub;
        sim::Fault fault;
        uint32_t connected;
        const char* text;  // the box, if any
    } cases[] = {
        {false, 0, -1, sim::Fault::Silence, 1, nullptr},
        {false, 0xC0, -1, sim::Fault::Silence, 0, nullptr},
        {false, 0xC1, 0x0010, sim::Fault::NoAck, 0, nullptr},
        {true, 0, -1, sim::Fault::Silence, 1, nullptr},
        {true, 0xCF, -1, sim::Fault::Silence, 0, "OrderModule Reset Fails!"},
        {true, 0xC0, -1, sim::Fault::BadChecksum, 0, "Connection Setup Fails!"},
        {true, 0xC1, 0x0011, sim::Fault::Silence, 0, "Disable Servo Fails!"},
        {true, 0xC1, 0x0011, sim::Fault::NoAck, 0, nullptr},  // a refusal is accepted silently
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stop << " " << c.command << " " << c.sub);
        CaptureRig rig;
        rig.state.link.driveConnected = 0;
        if (c.command != 0) {
            rig.drive->addFault({c.fault, c.command, c.sub, -1, 0, -1});
        }
        const uint32_t status = c.stop ? StopCapture(rig.link, rig.state, rig.messages)
                                       : SetupCapture(rig.link, rig.state);
        EXPECT_EQ(status == kStatusOk, c.command == 0);
        EXPECT_EQ(rig.state.link.driveConnected.load(), c.connected);
        const std::vector<Box> boxes =
            c.text ? std::vector<Box>{{c.text, "Warning"}} : std::vector<Box>{};
        EXPECT_EQ(rig.messages.boxes(), boxes);
        if (c.command == 0xC0) {
            EXPECT_EQ(Requests(*rig.drive).back().command, 0xC0) << "stops at the failure";
        }
    }
}

TEST(FillTuningRequest, ExcitationStartAndSamplingPerLoop) {
    const struct {
        CaptureKind kind;
        float msPerTick, position, range;
        int32_t lasting, phase, start, ticks, amplitude;
        uint32_t constA;
        int32_t divider;
    } cases[] = {
        {CaptureKind::Current, 1.0f, 0.75f, 2.5f, 300, 1, 150, 300, 320, 12800, 1},
        {CaptureKind::Current, 1.0f, 0.25f, 1.0f, 300, 0, 150, 300, 128, 12800, 1},
        {CaptureKind::Current, 1.0f, 0.5f, 1.0f, 300, 0, 300, 300, 128, 12800, 1},
        {CaptureKind::Current, 1.0f, 0.96f, 1.0f, 300, 1, 275, 300, 128, 12800, 1},
        {CaptureKind::Current, 1.0f, 0.0f, 1.0f, 300, 0, 0, 300, 128, 12800, 1},
        {CaptureKind::Current, 1.0f, 1.0f, 1.0f, 300, 1, 300, 300, 128, 12800, 1},
        {CaptureKind::Current, 0.0f, 0.96f, 1.0f, 300, 1, 275, 300, 128, 12800, 1},  // no tick yet
        {CaptureKind::Current, 0.5f, 0.75f, 1.0f, 300, 1, 300, 600, 128, 12800, 1},
        {CaptureKind::Speed, 1.0f, 0.95f, 2500.0f, 500, 1, 449, 500, 10000, 20480, 4},
        // 0.95 as a float lies below 0.95.
        {CaptureKind::Position, 1.0f, 0.95f, 100000.0f, 1000, 1, 899, 1000, 100000, 20480, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " " << c.position);
        SharedState state;
        ApplyStartupValues(state);
        state.identity.msPerTick = c.msPerTick;
        LoopCaptureSettings& s = SettingsForLoop(state, c.kind);
        s.lastingTimeMs = c.lasting;
        s.samplePosition = c.position;
        s.range = c.range;
        s.sampleCount = 77;
        FillTuningRequest(state, c.kind);
        const LoopCaptureRequest& r = state.loopCaptureRequest;
        EXPECT_EQ(state.loopCaptureRun.triggerPhase, c.phase);
        EXPECT_EQ(state.loopCaptureRun.triggerStartTicks, c.start);
        EXPECT_EQ(r.excitationTicks, c.ticks);
        EXPECT_EQ(r.excitationAmplitude, c.amplitude);
        EXPECT_EQ(r.loopKind, static_cast<int32_t>(c.kind));
        EXPECT_EQ(r.constA, c.constA);
        EXPECT_EQ(r.constB, 24000u);
        EXPECT_EQ(r.maxValue, 0x7FFFFFFFu);
        EXPECT_EQ(r.minValue, 0x80000000u);
        EXPECT_EQ(state.loopCaptureRun.sampleCount, 77);
        EXPECT_EQ(state.loopCaptureRun.sampleDivider, c.divider);
    }
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

TEST(DecodeSamples, ScalesSignExtendsAndKeepsToTheRecordAndTheCount) {
    const struct {
        Bytes record;
        CaptureKind kind;
        int count;
        std::vector<float> trace1, trace2;  // then 7 (untouched)
    } cases[] = {
        {Words16({128, -64, -32768, 32767}),
         CaptureKind::Current,
         2,
         {1, -256},
         {-0.5, 255.9921875}},
        {Words16({10, -6}), CaptureKind::Speed, 1, {2.5}, {-1.5}},
        // Two 32-bit values, high word first.
        {Words16({0x0001, 0x86A0, 0xFFFE, 0x7960}), CaptureKind::Position, 1, {100000}, {-100000}},
        {Words16({128, 128, 256, 256}), CaptureKind::Current, 1, {1}, {1}},
        {Words16({128, 128, 256, 256}), CaptureKind::Current, 1000, {1, 2}, {1, 2}},
        {Words16({128, 128, 256, 256, 0}), CaptureKind::Current, 3, {1, 2}, {1, 2}},
        {Words16({128, 128}), CaptureKind::Current, -5, {}, {}},
    };
    for (const auto& c : cases) {
        PlotData plot;
        plot.trace1.fill(7.0f);
        plot.trace2.fill(7.0f);
        DecodeSamples(c.record, c.kind, c.count, plot);
        std::vector<float> t1(c.trace1), t2(c.trace2);
        t1.push_back(7.0f);
        t2.push_back(7.0f);
        EXPECT_EQ(std::vector<float>(plot.trace1.begin(), plot.trace1.begin() + t1.size()), t1);
        EXPECT_EQ(std::vector<float>(plot.trace2.begin(), plot.trace2.begin() + t2.size()), t2);
    }
}

TEST(DecodeSamples, TakesKindAndCountFromTheCaptureInUseOrClears) {
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
    plot.trace1.fill(3.0f);
    plot.trace2.fill(3.0f);
    DecodeSamples(state, plot, 0);
    EXPECT_EQ(*std::max_element(plot.trace1.begin(), plot.trace1.end()), 0.0f);
    EXPECT_EQ(*std::max_element(plot.trace2.begin(), plot.trace2.end()), 0.0f);
}

}  // namespace
}  // namespace qx::test
