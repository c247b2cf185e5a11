// The tuning assistant of a tuning window: the records it judges, the gains it gives the
// edits, a lost record, its texts. It has no link, so nothing of it can reach the EEPROM.

#include <gtest/gtest.h>

#include "capture/GainSearchRun.h"
#include "capture/TuningAssistant.h"

namespace qx::test {
namespace {

constexpr uint32_t kLimitMs = 500;

LoopGains Ki(int32_t ki) {
    return {{4, 1228, 48, ki}, 4};
}
RecordShape RecordOf(int32_t ki) {
    return {.gains = {4, 1228, 48, static_cast<uint16_t>(ki)}, .gainCount = 4};
}
CaptureOutcome Settled(double rise, double settling, double overshoot, bool settled = true) {
    return {.captured = true,
            .metrics = {.status = StepStatus::Ok,
                        .riseTimeMs = rise,
                        .overshootPercent = overshoot,
                        .settlingTimeMs = settling,
                        .settled = settled,
                        .oscillating = !settled}};
}

TEST(TuningAssistant, JudgesTheProposalsRecordsRestoresOnDangerAndAppliesTheBest) {
    TuningAssistant a(CaptureKind::Current);
    EXPECT_EQ(a.statusLine(), "Start captures with the gains shown, then changes Ki by experiment");
    a.start(Ki(1000), {}, kLimitMs, 0);
    EXPECT_EQ(a.phase(), AssistantPhase::Searching);
    EXPECT_EQ(a.takeWindowGains(), Ki(1000));
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "given once";
    a.start(Ki(7), {}, kLimitMs, 0);
    EXPECT_EQ(a.search()->startGains(), Ki(1000)) << "a second Start while searching";

    // Table: the record's gains, what it measured -> its use, the gains the edits take.
    struct Row {
        int32_t capturedKi;
        CaptureOutcome outcome;
        RecordUse use;
        std::optional<LoopGains> edits;
        bool driveBehind;
    };
    const Row rows[] = {
        {2000, Settled(1, 2, 0), RecordUse::Ignored, std::nullopt, false},  // begun earlier
        {1000, Settled(2, 4, 0), RecordUse::NewBest, Ki(2000), true},
        {2000, Settled(1, 2, 1), RecordUse::NewBest, Ki(4000), true},
        {4000, Settled(0.9, 90, 30, false), RecordUse::Judged, Ki(1000), true},  // danger
        {4000, Settled(0.9, 90, 30, false), RecordUse::Ignored, std::nullopt, true},
        {1000, Settled(2, 4, 0), RecordUse::Ignored, std::nullopt, false},  // restored
    };
    uint32_t now = 0;
    for (const Row& r : rows) {
        now += 100;
        const LoopGains window = a.search()->running() ? a.search()->proposal() : Ki(1000);
        EXPECT_EQ(a.recordArrived(RecordOf(r.capturedKi), r.outcome, window, now), r.use)
            << r.capturedKi;
        EXPECT_EQ(a.takeWindowGains(), r.edits) << r.capturedKi;
        EXPECT_EQ(a.driveBehind(), r.driveBehind) << r.capturedKi;
    }
    EXPECT_EQ(a.search()->trials().size(), 3u);
    EXPECT_EQ(a.phase(), AssistantPhase::Choosing);
    EXPECT_FALSE(a.tick(now + 10 * kLimitMs)) << "no capture waited for";
    EXPECT_EQ(a.statusLine(),
              "danger, capture 3 oscillates: best #2 (Ki 2000); starting gains restored");
    using Cells = std::array<std::string, 6>;
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[1]),
              (Cells{"2", "Ki 2000", "1.000", "1.0", "2.00", "within target"}));
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[2]),
              (Cells{"3", "Ki 4000", "0.900", "30.0", "not settled", "oscillates"}));

    ASSERT_TRUE(a.canApply());
    a.apply();
    EXPECT_EQ(a.phase(), AssistantPhase::Idle);
    EXPECT_EQ(a.takeWindowGains(), Ki(2000));
    EXPECT_TRUE(a.driveBehind());
    EXPECT_STREQ(a.unwrittenText(), kApplyFailsText);
    EXPECT_EQ(a.statusLine(), "applied: Ki 2000 (not yet in the drive)");
    a.apply();
    a.discard();
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "the choice is made once";
    EXPECT_EQ(a.recordArrived(RecordOf(2000), Settled(1, 2, 1), Ki(2000), now), RecordUse::Ignored);
    EXPECT_FALSE(a.driveBehind());
}

TEST(TuningAssistant, StopAndALostRecordRestoreTheStartingGains) {
    TuningAssistant a(CaptureKind::Current);
    a.stop();
    a.discard();
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "nothing to stop";
    a.start(Ki(1000), {}, kLimitMs, 1000);
    a.recordArrived(RecordOf(1000), Settled(2, 4, 0), Ki(1000), 1100);
    EXPECT_EQ(a.takeWindowGains(), Ki(2000));
    EXPECT_EQ(a.statusLine(), "searching: capture 2 of at most 20, Ki 2000");
    a.stop();
    EXPECT_EQ(a.phase(), AssistantPhase::Choosing);
    EXPECT_EQ(a.search()->end(), SearchEnd::Stopped);
    EXPECT_EQ(a.takeWindowGains(), Ki(1000));
    EXPECT_STREQ(a.unwrittenText(), kRestoreFailsText);
    a.discard();
    EXPECT_EQ(a.phase(), AssistantPhase::Idle);
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "the starting gains are in the edits";
    EXPECT_FALSE(a.canApply());
    EXPECT_EQ(a.statusLine(),
              "discarded: the starting gains stay (Ki 1000) (not yet in the drive)");

    // A new search; its first proposal's record does not come within the limit.
    a.start(Ki(1000), {3.0, 8}, kLimitMs, 2000);
    EXPECT_EQ(a.search()->target().maxCaptures, 8);
    EXPECT_FALSE(a.tick(2000 + kLimitMs));
    EXPECT_TRUE(a.tick(2001 + kLimitMs));
    EXPECT_EQ(a.search()->end(), SearchEnd::Danger);
    EXPECT_FALSE(a.canApply()) << "no capture within the target";
    EXPECT_EQ(a.takeWindowGains(), Ki(1000));
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[0]),
              (std::array<std::string, 6>{"1", "Ki 1000", "-", "-", "-", "capture failed"}));
    EXPECT_EQ(a.statusLine(),
              "danger, capture 1 capture failed: no capture within the target; starting gains "
              "restored (not yet in the drive)")
        << "Ki 2000 may still be in the drive";
    EXPECT_EQ(TuningAssistant(CaptureKind::Speed).statusLine(),
              "Start captures with the gains shown, then changes T_rc and Kp by experiment");
}

}  // namespace
}  // namespace qx::test
