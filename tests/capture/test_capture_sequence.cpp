// One capture as drive exchanges: the selectors and payloads of a tuning capture, the
// read-out in chunks (straight and around the ring's end), restarts after failures,
// time-outs and new requests, and the free-running variants.

#include <gtest/gtest.h>

#include "capture/CaptureSequence.h"
#include "link/DriveCommands.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::pair<int, int>> ReadAddressesAndCounts(const std::vector<Request>& rs) {
    std::vector<std::pair<int, int>> out;
    for (const Request& r : rs) {
        if (r.command == 0xC1 && r.sub() == 0x0091 &&
            r.word(2) != drive_address::kTriggerPosition) {
            out.emplace_back(r.word(2), r.payload[5]);
        }
    }
    return out;
}

TEST(CaptureSequence, TuningCaptureSendsGainsStartPollsAndReadsWithRisingSelectors) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    rig.state.currentLoopModel = {1280, 1228, 4096, 2000};
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(CaptureKind::Current, 200));  // 400 words: 4 chunks
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    EXPECT_FALSE(seq.active());
    EXPECT_EQ(seq.step(), CaptureStep::Reset);
    EXPECT_EQ(seq.sequenceCounter(), 0);

    const std::vector<Request> x = Exchanges(*rig.drive);
    ASSERT_GE(x.size(), 9u);
    EXPECT_EQ(x[0].command, 0xCF);
    EXPECT_EQ(x[0].selector, 0);
    EXPECT_EQ(x[1].command, 0xC0);
    EXPECT_EQ(x[1].selector, 0);
    EXPECT_EQ(x[2].selector, 1);
    EXPECT_EQ(x[2].payload, (Bytes{0x00, 0x15, 0x02, 0x12, 0x00, 0x04, 0x10, 0x00, 0x04, 0xCC, 0x05,
                                   0x00, 0x07, 0xD0}));
    EXPECT_EQ(x[3].selector, 2);
    EXPECT_EQ(x[3].payload,
              (Bytes{0x00, 0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0xC8, 0x00, 0x01}));
    // Then polls and chunks, each with the next selector.
    std::size_t polls = 0;
    for (std::size_t i = 4; i < x.size(); ++i) {
        EXPECT_EQ(x[i].selector, static_cast<uint8_t>(i - 1)) << "exchange " << i;
        polls += x[i].command == 0xC2 ? 1 : 0;
    }
    EXPECT_GE(polls, 1u);
    // The drive records for 360 ms: the poll was repeated until it had finished.
    std::size_t pollRequests = 0;
    for (const Request& r : Requests(*rig.drive)) {
        pollRequests += r.command == 0xC2 ? 1 : 0;
    }
    EXPECT_GT(pollRequests, 10u);
    EXPECT_EQ(ReadAddressesAndCounts(x), (std::vector<std::pair<int, int>>{
                                             {1024, 120}, {1144, 120}, {1264, 120}, {1384, 40}}));
    // The record is the ring's first 400 words, high byte first.
    for (int w = 0; w < 400; ++w) {
        const uint16_t v = rig.drive->read(1024 + w);
        ASSERT_EQ(seq.record()[2 * w], v >> 8) << w;
        ASSERT_EQ(seq.record()[2 * w + 1], v & 0xFF) << w;
    }
}

TEST(CaptureSequence, SpeedAndPositionGainsGoToTheirWords) {
    CaptureRig rig;
    rig.state.speedLoopGains = {500, 480, 50, 100};  // output filter, speed filter, T_rc, Kp
    rig.state.positionLoopGains = {100, 7, 400};     // cut-off, Kd, Kp
    for (auto [kind, payload] :
         {std::pair{CaptureKind::Speed, Bytes{0x00, 0x15, 0x02, 0x5D, 0x00, 0x04, 0x00, 0x64, 0x00,
                                              0x32, 0x01, 0xE0, 0x01, 0xF4}},
          std::pair{CaptureKind::Position, Bytes{0x00, 0x15, 0x02, 0x6B, 0x00, 0x03, 0x01, 0x90,
                                                 0x00, 0x07, 0x00, 0x64}}}) {
        rig.drive->clearRequestLog();
        CaptureSequence seq(rig.link);
        seq.begin(rig.TuningJob(kind, 16));
        for (int i = 0; i < 3; ++i) {
            seq.runStep();
        }
        const std::vector<Request> x = Exchanges(*rig.drive);
        ASSERT_EQ(x.size(), 3u);
        EXPECT_EQ(x[2].payload, payload);
    }
}

TEST(CaptureSequence, AFullCurrentRecordIsSeventeenChunksOf120AndOneOf8) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(CaptureKind::Current, 1024));
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    const auto reads = ReadAddressesAndCounts(Exchanges(*rig.drive));
    ASSERT_EQ(reads.size(), 18u);
    for (int k = 0; k < 17; ++k) {
        EXPECT_EQ(reads[k], std::make_pair(1024 + 120 * k, 120));
    }
    EXPECT_EQ(reads[17], std::make_pair(3064, 8));
    EXPECT_EQ(seq.wordsRead(), 2048);
    EXPECT_EQ(seq.readAddress(), 1024) << "3064 + 8 passes 3071 and comes round";
}

TEST(CaptureSequence, ACountBeyondTheRingIsCutToIt) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Position, 1000);
    CaptureSequence seq(rig.link);
    CaptureJob job = rig.TuningJob(CaptureKind::Position, 600);  // 2400 words asked for
    seq.begin(job);
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

TEST(CaptureSequence, ATriggeredRecordStartingBelowTheRingWrapsAroundItsEnd) {
    CaptureRig rig;
    AddFreeCapture(rig, 1100);
    CaptureSequence seq(rig.link);
    seq.begin(FreeJob(rig, kTriggerRising, 512, 0.25f));
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    EXPECT_EQ(seq.preTriggerWords(), 256);
    EXPECT_EQ(seq.triggerPosition(), 1100);

    const std::vector<Request> x = Exchanges(*rig.drive);
    // No gains for a free-running capture: the start carries selector 1.
    ASSERT_EQ(x[2].sub(), 0x0013);
    EXPECT_EQ(x[2].selector, 1);
    EXPECT_EQ(x[2].payload, (Bytes{0x00, 0x13, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x40, 0x00, 0x00, 0x01,
                                   0x80, 0x00, 0x01}))
        << "384 points after the trigger";
    // 1100 - 256 = 844 lies below the ring: the record starts at 2892.
    const auto reads = ReadAddressesAndCounts(x);
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads[0], std::make_pair(2892, 120));
    EXPECT_EQ(reads[1], std::make_pair(3012, 60)) << "a chunk ends at 3071";
    EXPECT_EQ(reads[2], std::make_pair(1024, 120));
    int total = 0;
    for (auto [a, n] : reads) {
        total += n;
    }
    EXPECT_EQ(total, 1024);
    // Word k of the record is ring word 2892 + k, taken round the end.
    for (int k = 0; k < 1024; ++k) {
        const int ring = 2892 + k > 3071 ? 2892 + k - 2048 : 2892 + k;
        const uint16_t expected = static_cast<uint16_t>(ring - 1024);
        ASSERT_EQ(seq.record()[2 * k] << 8 | seq.record()[2 * k + 1], expected) << k;
    }
}

TEST(CaptureSequence, AutoRunSendsAllPointsAfterTheTriggerAndReadsFromTheRingStart) {
    CaptureRig rig;
    AddFreeCapture(rig, 2000);
    CaptureSequence seq(rig.link);
    seq.begin(FreeJob(rig, kTriggerAutoRun, 512, 0.25f));
    EXPECT_EQ(seq.timeoutMs(), 512u * 2 * 1 * 1000 / 4000 + 1000);
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    const std::vector<Request> x = Exchanges(*rig.drive);
    EXPECT_EQ(x[2].word(10), 512);
    EXPECT_EQ(seq.preTriggerWords(), 0);
    EXPECT_EQ(ReadAddressesAndCounts(x).front(), std::make_pair(1024, 120));
    for (const Request& r : x) {
        EXPECT_FALSE(r.sub() == 0x0091 && r.word(2) == 30) << "auto run reads no trigger word";
    }
}

TEST(CaptureSequence, ATriggerPositionOutsideTheRingIsFoldedIntoIt) {
    CaptureRig rig;
    AddFreeCapture(rig, 60000);
    CaptureSequence seq(rig.link);
    seq.begin(FreeJob(rig, kTriggerFalling, 64, 0.5f));
    ASSERT_TRUE(CaptureRig::RunToRecord(seq));
    for (auto [a, n] : ReadAddressesAndCounts(Exchanges(*rig.drive))) {
        EXPECT_GE(a, 1024);
        EXPECT_LE(a + n - 1, 3071);
    }
}

TEST(CaptureSequence, ANewRequestDuringTheReadOutStartsOverWithCounterZero) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    CaptureSequence seq(rig.link);
    const CaptureJob job = rig.TuningJob(CaptureKind::Current, 1024);
    seq.begin(job);
    while (!(seq.step() == CaptureStep::ReadOut && seq.wordsRead() == 360)) {
        ASSERT_FALSE(seq.runStep());
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
    while (seq.step() != CaptureStep::ReadOut || seq.wordsRead() != 120) {
        ASSERT_FALSE(seq.runStep());
    }
    EXPECT_FALSE(seq.runStep());
    EXPECT_NE(seq.status(), 0u);
    EXPECT_EQ(seq.step(), CaptureStep::Reset);
    EXPECT_EQ(seq.sequenceCounter(), 0);
    EXPECT_TRUE(seq.active()) << "a failure is not the end of the capture";
    // What the window tells meanwhile: restarting, until the drive answers a poll again.
    std::vector<CapturePhase> phases{seq.phase()};
    while (!seq.runStep()) {
        if (seq.phase() != phases.back()) {
            phases.push_back(seq.phase());
        }
    }
    phases.push_back(seq.phase());
    using P = CapturePhase;
    EXPECT_EQ(phases, (std::vector<P>{P::Restarting, P::Reading, P::Idle}));
}

TEST(CaptureSequence, ATuningCaptureTheDriveNeverFinishesRestartsAfterItsTimeOut) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128);
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    CaptureSequence seq(rig.link);
    seq.begin(rig.TuningJob(CaptureKind::Current, 64));
    EXPECT_EQ(seq.timeoutMs(), 300u * 3 + 1000);
    for (int i = 0; i < 4; ++i) {
        seq.runStep();
    }
    ASSERT_EQ(seq.step(), CaptureStep::Poll);
    const uint32_t started = rig.clock.tickMs();
    while (seq.step() == CaptureStep::Poll) {
        seq.runStep();
    }
    EXPECT_EQ(seq.step(), CaptureStep::Reset);
    EXPECT_EQ(seq.status(), kStatusNoAck);
    EXPECT_GE(rig.clock.tickMs() - started, 1900u);
    EXPECT_LT(rig.clock.tickMs() - started, 1900u + 1100u) << "restarted soon after the limit";
}

TEST(CaptureSequence, ATriggeredCaptureWaitsForItsTriggerWithoutLimit) {
    CaptureRig rig;
    AddFreeCapture(rig, 2000);
    rig.drive->setPollHandler(
        [](sim::SimDrive&, uint64_t) { return sim::Answer::NotAcknowledged(); });
    CaptureSequence seq(rig.link);
    seq.begin(FreeJob(rig, kTriggerRising, 64, 0.5f));
    for (int i = 0; i < 4; ++i) {
        seq.runStep();
    }
    const uint32_t started = rig.clock.tickMs();
    while (rig.clock.tickMs() - started < 30'000) {
        seq.runStep();
        ASSERT_EQ(seq.step(), CaptureStep::Poll);
    }
}

TEST(CaptureSequence, AnAutoRunWithoutABaseRateStillGetsATimeLimit) {
    CaptureJob job;
    job.tuning = false;
    job.triggerMode = kTriggerAutoRun;
    job.sampleCount = 512;
    job.sampleDivider = 2;
    job.baseSampleRateHz = 0;
    const CaptureTimeLimit limit = CaptureTimeout(job);
    EXPECT_TRUE(limit.limited);
    EXPECT_EQ(limit.ms, 512u * 2 * 2 * 1000 / 4000 + 1000);
    job.triggerMode = kTriggerFalling;
    EXPECT_FALSE(CaptureTimeout(job).limited);
}

TEST(CaptureSequence, PostTriggerPointsFollowTheFraction) {
    CaptureJob job;
    job.tuning = false;
    job.sampleCount = 512;
    job.preTriggerFraction = 0.25f;
    job.triggerMode = kTriggerRising;
    EXPECT_EQ(PostTriggerPoints(job), 384);
    job.triggerMode = kTriggerAutoRun;
    EXPECT_EQ(PostTriggerPoints(job), 512);
}

TEST(CaptureSequence, SelectorsWrapFrom255To0) {
    CaptureRig rig;
    rig.SetUpDrive(CaptureKind::Current, 128, 60000);
    // The drive records for 140 s, so about 280 polls of 500 ms are needed.
    const uint64_t doneAt = rig.clock.nowUs() + 140'000'000;
    rig.drive->setPollHandler([doneAt](sim::SimDrive&, uint64_t now) {
        return now < doneAt ? sim::Answer::NotAcknowledged() : sim::Answer::Ok();
    });
    rig.state.currentCaptureSettings.lastingTimeMs = 60000;
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
