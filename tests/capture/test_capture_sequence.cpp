// One capture as drive exchanges, beyond what the transcripts check: the record's
// contents, the read-out around the ring's end, restarts after failures, time-outs and
// new requests, and selectors that wrap.

#include <gtest/gtest.h>

#include "capture/CaptureSequence.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Reads = std::vector<std::pair<int, int>>;

Reads ReadAddressesAndCounts(const std::vector<Request>& rs) {
    Reads out;
    for (const Request& r : rs) {
        if (r.command == 0xC1 && r.sub() == 0x0091 &&
            r.word(2) != drive_address::kTriggerPosition) {
            out.emplace_back(r.word(2), r.payload[5]);
        }
    }
    return out;
}

int RecordWord(const CaptureSequence& seq, int k) {
    return seq.record()[2 * k] << 8 | seq.record()[2 * k + 1];
}

TEST(CaptureSequence, TheRecordIsTheRingReadInChunksAndCutToIt) {
    const struct {
        CaptureKind kind;
        int count;
        std::size_t chunks;
        std::pair<int, int> last;
        int words;
    } cases[] = {{CaptureKind::Current, 200, 4, {1384, 40}, 400},
                 {CaptureKind::Current, 1024, 18, {3064, 8}, 2048}};
    for (const auto& c : cases) {
        CaptureRig rig;
        rig.SetUpDrive(c.kind, 128);
        CaptureSequence seq(rig.link);
        seq.begin(rig.TuningJob(c.kind, c.count));
        ASSERT_TRUE(CaptureRig::RunToRecord(seq));
        EXPECT_FALSE(seq.active());
        EXPECT_EQ(seq.step(), CaptureStep::Reset);
        EXPECT_EQ(seq.sequenceCounter(), 0);
        const Reads reads = ReadAddressesAndCounts(Exchanges(*rig.drive));
        ASSERT_EQ(reads.size(), c.chunks);
        for (std::size_t k = 0; k + 1 < c.chunks; ++k) {
            EXPECT_EQ(reads[k], std::make_pair(1024 + 120 * static_cast<int>(k), 120));
        }
        EXPECT_EQ(reads.back(), c.last);
        EXPECT_EQ(seq.totalWords(), c.words);
        EXPECT_EQ(seq.readAddress(), 1024 + c.words % 2048) << "3064 + 8 comes round";
        for (int w = 0; w < c.words; ++w) {
            ASSERT_EQ(RecordWord(seq, w), rig.drive->read(1024 + w)) << w;
        }
    }
    CaptureRig rig;
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(CaptureKind::Position, 600));  // 2400 words asked for
    for (int i = 0; i < 4; ++i) {
        seq.runStep();
    }
    EXPECT_EQ(seq.totalWords(), 2048);
}

// A drive that answers free-running captures: it records at once and reports the ring
// position of the trigger in word 30.
void AddFreeCapture(CaptureRig& rig, uint16_t triggerPosition) {
    rig.drive->setSubCommandHandler(0x0013, [](sim::SimDrive&, std::span<const uint8_t>, uint64_t) {
        return sim::Answer::Ok();
    });
    rig.drive->write(drive_address::kTriggerPosition, triggerPosition);
    for (int w = 0; w < 2048; ++w) {
        rig.drive->write(1024 + w, static_cast<uint16_t>(w));
    }
}

CaptureJob FreeJob(CaptureRig& rig, int32_t mode, int count, float preFraction) {
    rig.state.loopCaptureRun.tuningActive = 0;
    rig.state.freeRunRequest.monitorType = 0;
    rig.state.freeRunRequest.sampleCount = count;
    rig.state.freeRunRequest.sampleDivider = 1;
    rig.state.freeRunRequest.triggerMode = mode;
    rig.state.freeRunRequest.triggerLevelRaw = -192;
    rig.state.freeRunRequest.preTriggerFraction = preFraction;
    return SnapshotCaptureJob(rig.state);
}

TEST(CaptureSequence, ATriggeredRecordStartsBeforeItsTriggerAndWrapsAroundTheRingsEnd) {
    const struct {
        uint16_t trigger;
        int32_t mode;
        int count;
        float pre;
        int preWords, first;  // ring word of the record's first point
    } cases[] = {
        {1100, kTriggerRising, 512, 0.25f, 256, 2892},  // 1100 - 256 lies below the ring
        {2000, kTriggerAutoRun, 512, 0.25f, 0, 1024},   // auto run: from the ring's start
        {60000, kTriggerFalling, 64, 0.5f, 64, 2592},   // 60000 folded into the ring: 2656
    };
    for (const auto& c : cases) {
        CaptureRig rig;
        AddFreeCapture(rig, c.trigger);
        CaptureSequence seq(rig.link);
        seq.begin(FreeJob(rig, c.mode, c.count, c.pre));
        ASSERT_TRUE(CaptureRig::RunToRecord(seq));
        EXPECT_EQ(seq.preTriggerWords(), c.preWords);
        const Reads reads = ReadAddressesAndCounts(Exchanges(*rig.drive));
        int total = 0;
        for (auto [a, n] : reads) {
            EXPECT_GE(a, 1024);
            EXPECT_LE(a + n - 1, 3071);
            total += n;
        }
        EXPECT_EQ(total, 2 * c.count);
        for (int k = 0; k < 2 * c.count; ++k) {
            const int ring = c.first + k > 3071 ? c.first + k - 2048 : c.first + k;
            ASSERT_EQ(RecordWord(seq, k), ring - 1024) << c.trigger << " " << k;
        }
    }
}

TEST(CaptureSequence, ANewRequestDuringTheReadOutStartsOverWithCounterZero) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    CaptureSequence seq(rig.link);
    const CaptureJob job = rig.TuningJob(CaptureKind::Current, 1024);
    seq.begin(job);
    for (int i = 0; !(seq.step() == CaptureStep::ReadOut && seq.wordsRead() == 360); ++i) {
        ASSERT_FALSE(seq.runStep() || i > 1000);
    }
    const std::size_t before = Exchanges(*rig.drive).size();
    seq.begin(job);
    EXPECT_EQ(seq.step(), CaptureStep::Reset);
    EXPECT_EQ(seq.sequenceCounter(), 0);
    EXPECT_EQ(seq.wordsRead(), 0);
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    const std::vector<Request> x = Exchanges(*rig.drive);
    EXPECT_EQ(x[before].command, 0xCF);
    EXPECT_EQ(x[before + 1].selector, 0);
    EXPECT_EQ(x[before + 2].sub(), 0x0015) << "the restart writes the gains again";
    EXPECT_EQ(ReadAddressesAndCounts(std::vector<Request>(x.begin() + before, x.end())).size(), 18u)
        << "the whole record is read again";
}

TEST(CaptureSequence, AFailedExchangeRestartsFromTheSessionOpening) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    // The second chunk fails for longer than its budget.
    rig.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, 1144, 0, 3});
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(CaptureKind::Current, 200));
    for (int i = 0; seq.step() != CaptureStep::ReadOut || seq.wordsRead() != 120; ++i) {
        ASSERT_FALSE(seq.runStep() || i > 1000);
    }
    EXPECT_FALSE(seq.runStep());
    EXPECT_NE(seq.status(), 0u);
    EXPECT_EQ(seq.step(), CaptureStep::Reset);
    EXPECT_EQ(seq.sequenceCounter(), 0);
    EXPECT_TRUE(seq.active()) << "a failure is not the end of the capture";
    // What the window tells meanwhile: restarting, until the drive answers a poll again.
    std::vector<CapturePhase> phases{seq.phase()};
    for (int i = 0; i < 1000 && !seq.runStep(); ++i) {
        if (seq.phase() != phases.back()) {
            phases.push_back(seq.phase());
        }
    }
    phases.push_back(seq.phase());
    using P = CapturePhase;
    EXPECT_EQ(phases, (std::vector<P>{P::Restarting, P::Reading, P::Idle}));
}

TEST(CaptureSequence, ACaptureTheDriveNeverFinishesRestartsAfterItsTimeOutUnlessArmed) {
    for (const bool armed : {false, true}) {
        CaptureRig rig;
        rig.SetUpDrive(CaptureKind::Current, 128);
        AddFreeCapture(rig, 2000);
        rig.drive->setPollHandler(
            [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
        CaptureSequence seq(rig.link);
        seq.begin(armed ? FreeJob(rig, kTriggerRising, 64, 0.5f)
                        : rig.TuningJob(CaptureKind::Current, 64));
        EXPECT_EQ(seq.timeoutMs(), armed ? 0u : 300u * 3 + 1000);
        for (int i = 0; i < 100 && seq.step() != CaptureStep::Poll; ++i) {
            seq.runStep();
        }
        ASSERT_EQ(seq.step(), CaptureStep::Poll);
        const uint32_t started = rig.clock.tickMs();
        while (seq.step() == CaptureStep::Poll && rig.clock.tickMs() - started < 30'000) {
            seq.runStep();
        }
        const uint32_t took = rig.clock.tickMs() - started;
        if (armed) {
            EXPECT_EQ(seq.step(), CaptureStep::Poll) << "a trigger is waited for without limit";
            continue;
        }
        EXPECT_EQ(seq.step(), CaptureStep::Reset);
        EXPECT_EQ(seq.status(), kStatusNoAck);
        EXPECT_GE(took, 1900u);
        EXPECT_LT(took, 1900u + 1100u) << "restarted soon after the limit";
    }
}

TEST(CaptureSequence, TimeLimitsAndPointsAfterTheTrigger) {
    CaptureJob job;
    job.tuning = false;
    job.sampleCount = 512;
    job.sampleDivider = 2;
    job.preTriggerFraction = 0.25f;
    const struct {
        int32_t mode, baseRate;
        bool limited;
        uint32_t ms;
        int post;
    } cases[] = {{kTriggerAutoRun, 4000, true, 512 * 2 * 2 * 1000 / 4000 + 1000, 512},
                 {kTriggerAutoRun, 0, true, 512 * 2 * 2 * 1000 / 4000 + 1000, 512},
                 {kTriggerAutoRun, 1000, true, 512 * 2 * 2 + 1000, 512},
                 {kTriggerFalling, 4000, false, 0, 384},
                 {kTriggerRising, 4000, false, 0, 384}};
    for (const auto& c : cases) {
        job.triggerMode = c.mode;
        job.baseSampleRateHz = c.baseRate;
        const CaptureTimeLimit limit = CaptureTimeout(job);
        EXPECT_EQ(limit.limited, c.limited) << c.mode << " " << c.baseRate;
        EXPECT_EQ(limit.limited ? limit.ms : 0, c.ms) << c.mode << " " << c.baseRate;
        EXPECT_EQ(PostTriggerPoints(job), c.post) << c.mode;
    }
}

TEST(CaptureSequence, SelectorsWrapFrom255To0) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128, 60000);
    // The drive records for 140 s, so about 280 polls of 500 ms are needed.
    const uint64_t doneAt = rig.clock.nowUs() + 140'000'000;
    rig.drive->setPollHandler([doneAt](sim::SimDrive&, uint64_t now) {
        return now < doneAt ? sim::Answer::NotAcknowledged() : sim::Answer::Ok();
    });
    CaptureJob job = rig.TuningJob(CaptureKind::Current, 64);
    job.lastingTimeMs = 60000;
    CaptureSequence seq(rig.link);
    seq.begin(job);
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    const std::vector<Request> x = Exchanges(*rig.drive);
    bool wrapped = false;
    for (std::size_t i = 3; i + 1 < x.size(); ++i) {
        EXPECT_EQ(x[i + 1].selector, static_cast<uint8_t>(x[i].selector + 1));
        wrapped = wrapped || (x[i].selector == 255 && x[i + 1].selector == 0);
    }
    EXPECT_TRUE(wrapped);
}

}  // namespace
}  // namespace qx::test
