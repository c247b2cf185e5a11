// One capture beyond what the transcripts check: the connected flag and the boxes of the
// set-up and switch-off, the request a window derives from its settings, the record's
// contents and decoding, restarts after time-outs, and the worker that runs it.

#include <gtest/gtest.h>

#include <thread>

#include "capture/DecodeSamples.h"
#include "capture/TuningRequest.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Box = RecordingMessageSink::Box;
using K = CaptureKind;
using P = CapturePhase;

TEST(CaptureControl, SetUpAndSwitchOffSetTheConnectedFlagOnlyWhenTheDriveAnswers) {
    const struct {
        bool stop;  // StopCapture, else SetupCapture
        int command, sub;
        sim::Fault fault;
        uint32_t connected;
        const char* box;
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
        const std::vector<Box> boxes{{c.box ? c.box : "", "Warning"}};
        EXPECT_EQ(rig.messages.boxes(), c.box ? boxes : std::vector<Box>{});
        if (c.command == 0xC0) {
            EXPECT_EQ(Exchanges(*rig.drive).back().command, 0xC0) << "stops at the failure";
        }
    }
}

TEST(FillTuningRequest, ExcitationStartAndSamplingPerLoop) {
    const struct {
        K kind;
        float msPerTick, position, range;
        int32_t lasting, phase, start, ticks, amplitude, divider;
    } cases[] = {
        {K::Current, 1.0f, 0.75f, 2.5f, 300, 1, 150, 300, 320, 1},
        {K::Current, 1.0f, 0.5f, 1.0f, 300, 0, 300, 300, 128, 1},
        {K::Current, 1.0f, 0.96f, 1.0f, 300, 1, 275, 300, 128, 1},
        {K::Current, 1.0f, 1.0f, 1.0f, 300, 1, 300, 300, 128, 1},
        {K::Current, 0.0f, 0.96f, 1.0f, 300, 1, 275, 300, 128, 1},  // no tick yet
        {K::Current, 0.5f, 0.75f, 1.0f, 300, 1, 300, 600, 128, 1},
        {K::Speed, 1.0f, 0.95f, 2500.0f, 500, 1, 449, 500, 10000, 4},
        // 0.95 as a float lies below 0.95.
        {K::Position, 1.0f, 0.95f, 100000.0f, 1000, 1, 899, 1000, 100000, 16},
    };
    for (const auto& c : cases) {
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
        const LoopCaptureRun& run = state.loopCaptureRun;
        EXPECT_EQ(
            (std::tuple{run.triggerPhase, run.triggerStartTicks, r.excitationTicks,
                        r.excitationAmplitude, r.loopKind, run.sampleCount, run.sampleDivider}),
            (std::tuple{c.phase, c.start, c.ticks, c.amplitude, static_cast<int32_t>(c.kind), 77,
                        c.divider}))
            << c.position;
    }
}

Bytes Words16(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) {
        b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        b.push_back(static_cast<uint8_t>(v & 0xFF));
    }
    return b;
}

TEST(DecodeSamples, ScalesSignExtendsAndKeepsToTheRecordAndTheCount) {
    using F = std::vector<float>;
    const struct {
        Bytes record;
        K kind;
        int count;
        F trace1, trace2;  // then 7 (untouched)
    } cases[] = {
        {Words16({128, -64, -32768, 32767}), K::Current, 2, {1, -256}, {-0.5, 255.9921875}},
        {Words16({10, -6}), K::Speed, 1, {2.5}, {-1.5}},
        // Two 32-bit values, high word first.
        {Words16({0x0001, 0x86A0, 0xFFFE, 0x7960}), K::Position, 1, {100000}, {-100000}},
        {Words16({128, 128, 256, 256}), K::Current, 1, {1}, {1}},
        {Words16({128, 128, 256, 256, 0}), K::Current, 3, {1, 2}, {1, 2}},
        {Words16({128, 128}), K::Current, -5, {}, {}},
    };
    for (const auto& c : cases) {
        PlotData plot;
        plot.trace1.fill(7.0f);
        plot.trace2.fill(7.0f);
        DecodeSamples(c.record, c.kind, c.count, plot);
        F t1(c.trace1), t2(c.trace2);
        t1.push_back(7.0f);
        t2.push_back(7.0f);
        EXPECT_EQ(F(plot.trace1.begin(), plot.trace1.begin() + t1.size()), t1);
        EXPECT_EQ(F(plot.trace2.begin(), plot.trace2.begin() + t2.size()), t2);
    }
}

TEST(CaptureSequence, TheRecordIsTheRingFromTheRightPlace) {
    // A tuning record from the ring's start; a triggered one from before its trigger,
    // wrapping round the ring's end (how it is read in chunks is the transcripts').
    const struct {
        bool tuning;
        uint16_t trigger;
        int32_t mode;
        int count;
        float pre;
        int preWords, first;  // ring word of the record's first point
    } cases[] = {
        {true, 0, 0, 1024, 0, 0, 1024},                        // all 2048 words of the ring
        {false, 1100, kTriggerRising, 512, 0.25f, 256, 2892},  // 1100 - 256 lies below
        {false, 2000, kTriggerAutoRun, 512, 0.25f, 0, 1024},   // auto run: from the start
        {false, 60000, kTriggerFalling, 64, 0.5f, 64, 2592},   // 60000 folded into the ring
    };
    for (const auto& c : cases) {
        CaptureRig rig;
        CaptureSequence seq(rig.link);
        seq.begin(c.tuning ? rig.TuningJob(K::Current, c.count)
                           : rig.FreeJob(c.trigger, c.mode, c.count, c.pre));
        ASSERT_TRUE(CaptureRig::RunToRecord(seq));
        const int words = 2 * c.count;
        EXPECT_EQ(std::tuple(seq.active(), seq.step(), seq.sequenceCounter(), seq.totalWords(),
                             seq.preTriggerWords()),
                  std::tuple(false, CaptureStep::Reset, 0, words, c.preWords));
        for (int k = 0; k < words; ++k) {
            const int at = c.first + k > 3071 ? c.first + k - 2048 : c.first + k;
            ASSERT_EQ(seq.record()[2 * k] << 8 | seq.record()[2 * k + 1], rig.drive->read(at))
                << c.count << " " << k;
        }
    }
    CaptureRig rig;
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(K::Position, 600));  // 2400 words asked for
    for (int i = 0; i < 4; ++i) {
        seq.runStep();
    }
    EXPECT_EQ(seq.totalWords(), 2048);
}

TEST(CaptureSequence, ACaptureTheDriveNeverFinishesRestartsAfterItsTimeOutUnlessArmed) {
    for (const bool armed : {false, true}) {
        CaptureRig rig;
        CaptureJob job = rig.TuningJob(K::Current, 64);
        if (armed) {
            job = rig.FreeJob(2000, kTriggerRising, 64, 0.5f);
        }
        rig.drive->setPollHandler(
            [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
        CaptureSequence seq(rig.link);
        seq.begin(job);
        EXPECT_EQ(seq.timeoutMs(), armed ? 0u : 1900u);
        for (int i = 0; i < 100 && seq.step() != CaptureStep::Poll; ++i) {
            seq.runStep();
        }
        ASSERT_EQ(seq.step(), CaptureStep::Poll);
        const uint32_t started = rig.clock.tickMs();
        while (seq.step() == CaptureStep::Poll && rig.clock.tickMs() - started < 30'000) {
            seq.runStep();
        }
        const uint32_t took = rig.clock.tickMs() - started;
        EXPECT_EQ(seq.step(), armed ? CaptureStep::Poll : CaptureStep::Reset)
            << "a trigger is waited for without limit";
        EXPECT_TRUE(armed || (seq.status() == kStatusNoAck && seq.phase() == P::Restarting &&
                              took >= 1900u && took < 3000u))
            << took;
    }
}

TEST(CaptureSequence, TimeLimitsAndPointsAfterTheTrigger) {
    // 512 points, divider 2, two words each: 2048 ms at 1000 Hz, 512 ms at 4000 Hz, and a
    // second to spare.
    CaptureJob job{.tuning = false, .sampleCount = 512, .sampleDivider = 2};
    job.preTriggerFraction = 0.25f;
    const std::tuple<int32_t, int32_t, bool, uint32_t, int> cases[] = {
        {kTriggerAutoRun, 1000, true, 3048, 512},
        {kTriggerAutoRun, 0, true, 1512, 512},  // no base rate: taken as 4000 Hz
        {kTriggerFalling, 4000, false, 0, 384}};
    for (auto [mode, baseRate, limited, ms, post] : cases) {
        job.triggerMode = mode;
        job.baseSampleRateHz = baseRate;
        const CaptureTimeLimit limit = CaptureTimeout(job);
        EXPECT_EQ(std::tuple(limit.limited, limit.limited ? limit.ms : 0, PostTriggerPoints(job)),
                  std::tuple(limited, ms, post))
            << mode << " " << baseRate;
    }
}

TEST(SampleThread, EachStartBringsOneRecordAndItsShapeAndItEndsOnQuitOrWithItsOwner) {
    CaptureRig rig;
    rig.TuningJob(K::Current, 256);
    {
        SampleThread thread(rig.state, rig.link, rig.window);
        rig.state.workerSync.sampleThreadEnded = 1;  // left over from an earlier worker
        ASSERT_TRUE(thread.start());
        EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 0u)
            << "cleared before the worker runs, so an immediate quit cannot be missed";
        EXPECT_TRUE(thread.start()) << "already running";
        thread.postMessage(0x0401);  // not one of its messages: discarded
        EXPECT_TRUE(thread.end());
        EXPECT_EQ(std::pair(rig.state.workerSync.sampleThreadEnded.load(), thread.started()),
                  std::pair(1u, false));
        EXPECT_TRUE(thread.end()) << "nothing left to end";
        ASSERT_TRUE(thread.start());
        thread.postMessage(WM_SAMPLE_START);
        ASSERT_TRUE(rig.window.waitFor(1));  // the record's copy is the soak's
        EXPECT_EQ(thread.recordShape().triggerIndex, -1);
        // A triggered record knows where its trigger is.
        rig.FreeJob(1100, kTriggerFalling, 100, 0.25f);
        rig.state.freeRunRequest.monitorType = 1;
        rig.state.freeRunRequest.sampleDivider = 3;
        thread.postStart();
        ASSERT_TRUE(rig.window.waitFor(2));
        const RecordShape r = thread.recordShape();
        EXPECT_EQ(std::tuple(r.kind, r.count, r.divider, r.triggerIndex, thread.recordsDone()),
                  std::tuple(K::Speed, 100, 3, 25, 2u));
        thread.postStart();
    }
    EXPECT_EQ(rig.state.workerSync.sampleThreadEnded.load(), 1u) << "the destructor ended it";
}

// Quitting over a dead line in time is the unplug rows'; here a worker held in one exchange
// is waited for no longer than the bound, and once ended it sends nothing more.
TEST(SampleThread, QuitDuringACaptureEndsTheWorkerBetweenTwoStepsAndInTime) {
    CaptureRig rig;
    rig.TuningJob(K::Current, 256);
    std::mutex held;
    std::unique_lock<std::mutex> hold(held, std::defer_lock);
    std::atomic<bool> polling{false};
    rig.drive->setPollHandler([&](sim::SimDrive&, uint64_t) {
        polling = true;
        std::lock_guard<std::mutex> wait(held);
        return sim::Answer::NotAcknowledged();
    });
    hold.lock();  // after the drive's own lock is let go: the handler takes them the other way
    SampleThread thread(rig.state, rig.link, rig.window);
    ASSERT_TRUE(thread.start());
    thread.postStart();
    while (!polling) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(thread.end(20ms));
    hold.unlock();
    ASSERT_TRUE(thread.end());
    const uint64_t after = rig.drive->requestCount();
    std::this_thread::sleep_for(2ms);
    EXPECT_EQ(std::pair(rig.drive->requestCount(), rig.state.workerSync.sampleThreadEnded.load()),
              std::pair(after, 1u))
        << "nothing is sent once the worker ended";
    EXPECT_FALSE(rig.window.waitFor(1, 0ms));
}

}  // namespace
}  // namespace qx::test
