// The tuning assistant: captures judged by their metrics, the search's steps, the search
// against the simulated drive in virtual time (danger, Stop, a lost link),
// and the assistant of a tuning window (it has no link, so it never reaches the EEPROM).

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "capture/GainSearchRun.h"
#include "capture/TuningAssistant.h"
#include "capture/TuningRequest.h"
#include "sim/SimOptions.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
using enum TrialVerdict;
using K = CaptureKind;
const sim::MotorConstants kStandard = *sim::SimLoadNamed("standard");

CaptureOutcome Out(double rise, double settling, double overshoot, bool settled = true) {
    return {.captured = true,
            .metrics = {.status = StepStatus::Ok,
                        .riseTimeMs = rise,
                        .overshootPercent = overshoot,
                        .settlingTimeMs = settling,
                        .settled = settled}};
}
const CaptureOutcome kCreeps = Out(1, 1, 0, false);
const CaptureOutcome kOsc = [] {
    CaptureOutcome o = kCreeps;
    o.metrics.oscillating = true;
    return o;
}();
LoopGains Ki(int32_t ki) {
    return {{4, 1228, 48, ki}, 4};
}

TEST(GainSearch, CapturesAreJudgedByTheirMetrics) {
    CaptureOutcome noStep = Out(1, 1, 0), saturated = noStep, ringing = noStep;
    noStep.metrics.status = StepStatus::StepOutsideRecord;
    saturated.saturated = true;
    ringing.ringing = true;
    const std::pair<CaptureOutcome, TrialVerdict> cases[] = {{CaptureOutcome{}, Failed},
                                                             {noStep, NoStep},
                                                             {saturated, Saturates},
                                                             {ringing, Oscillates},
                                                             {kOsc, Oscillates},
                                                             {Out(1, 1, 2.1, false), Oscillates},
                                                             {Out(1, 1, 2.0, false), TooSlow},
                                                             {Out(1, 1, 5.1), Overshoots},
                                                             {Out(1, 1, 5.0), WithinTarget}};
    for (const auto& [outcome, verdict] : cases) {
        EXPECT_EQ(ClassifyCapture(outcome, 5.0), verdict) << VerdictText(verdict);
    }
    EXPECT_EQ(
        std::tuple(AtRecordLimit(K::Current, -256.0f), AtRecordLimit(K::Current, 255.9f),
                   AtRecordLimit(K::Speed, 8191.75f), AtRecordLimit(K::Position, 2147483647.0f),
                   AtRecordLimit(K::Position, -2147483000.0f)),
        std::tuple(true, false, true, true, false));
    // A record of the current window's default step test: -1 A, then +1 A from point 100.
    SharedState state;
    ApplyStartupValues(state);
    state.identity.baseSampleRateHz = 4000;
    state.identity.msPerTick = 1.0f;
    FillTuningRequest(state, K::Current);
    std::vector<float> clean(512, 1.0f);
    std::fill_n(clean.begin(), 100, -1.0f);
    std::vector<float> cut = clean, rings = clean;
    cut[300] = 256.0f;
    for (std::size_t i = 100; i < rings.size(); i += 2) {
        rings[i] = 0.8f;
    }
    using Seen = std::tuple<bool, bool, bool, bool>;  // captured, settled, saturated, ringing
    for (auto [record, seen] : {std::pair{clean, Seen{true, true, false, false}},
                                {cut, Seen{true, true, true, false}},
                                {rings, Seen{true, false, false, true}}}) {
        const CaptureOutcome o = MeasureTuningRecord(state, record);
        EXPECT_EQ((Seen{o.captured, o.metrics.settled, o.saturated, o.ringing}), seen);
    }
    // The words each loop's search changes, in turn, and which way (by a whole step) is faster.
    for (const auto& [kind, words] :
         {std::pair{K::Current, "3:1 "}, {K::Speed, "1:-1 0:1 "}, {K::Position, "0:1 1:-1 "}}) {
        std::string seen;
        for (const SearchKnob& k : SearchKnobs(kind)) {
            seen += std::to_string(k.index) + ":" + std::to_string(k.fasterSign) + " ";
        }
        EXPECT_EQ(seen, words);
    }
}

// A search told scripted outcomes: which gains it proposes in turn, and how it ends. A
// step is the knobs' words, then rise, settling and overshoot or "osc" / "creeps".
TEST(GainSearch, ItStepsTowardsTheEdgeOfTheTargetAndEndsAtOnceOnDanger) {
    using enum SearchEnd;
    const struct {
        K kind;
        LoopGains start;
        SearchEnd end;
        int best;  // 0: none
        const char* steps;
    } scripts[] = {
        // Doubling while faster, half a step near the limit; a step no faster ends the pass;
        // the second starts with half the step (a quarter near the limit).
        {K::Current, Ki(1000), Done, 2, "1000 1 3 0, 2000 .8 2.5 3, 2828 .79 2.5 4, 2378 .7 2 6"},
        // The edge between within and beyond is halved; the second pass starts from it.
        {K::Current, Ki(2000), Done, 6,
         "2000 .8 2.5 1, 4000 .6 3 6, 2828 .7 2.4 3, 3363 .69 2.4 4.5, 3668 .65 3 5.5, "
         "3221 .65 2.3 3.5"},
        // No faster: the starting gains stay the best (half the limit is not near it yet).
        {K::Current, Ki(2000), Done, 1, "2000 .8 2.5 2.5, 4000 .9 2.5 0"},
        // A response that creeps to the command is judged by its settling, not its rise.
        {K::Current, Ki(100), Danger, 2, "100 1 60 0, 200 1.2 5 0, 400 osc"},
        // Overshooting at first: back off, halve the edge of Kp, then Kd (less of it is
        // faster); oscillation after a loop at rest ends the search at once.
        {K::Position,
         {{1600, 100, 100, 0}, 3},
         Danger,
         5,
         "1600 100 15 40 17, 800 100 30 60 0, 1131 100 20 40 2, 1345 100 16 40 8, "
         "1233 100 18 38 3, 1233 71 osc"},
        // At rest, overshooting or creeping, then oscillating: danger.
        {K::Current, Ki(8000), Danger, 0, "8000 .4 3 11, 4000 osc"},
        {K::Current, Ki(100), Danger, 0, "100 creeps, 200 osc"},
    };
    for (const auto& script : scripts) {
        GainSearch search(script.kind, script.start);
        std::istringstream steps(script.steps);
        for (std::string step; std::getline(steps, step, ',');) {
            ASSERT_TRUE(search.running()) << step;
            std::istringstream in(step);
            for (const SearchKnob& knob : search.knobs()) {
                int32_t word = 0;
                in >> word;
                EXPECT_EQ(search.proposal().words[knob.index], word) << step;
            }
            double rise = 0, settling = 0, overshoot = 0;
            const bool measured = static_cast<bool>(in >> rise >> settling >> overshoot);
            search.record(measured ? Out(rise, settling, overshoot)
                                   : (step.ends_with("osc") ? kOsc : kCreeps));
        }
        const LoopGains applied = script.end == Done ? search.best()->gains : script.start;
        EXPECT_EQ(std::tuple(search.end(), search.best() ? search.best()->number : 0,
                             search.finalGains(false), search.finalGains(true)),
                  std::tuple(script.end, script.best, script.start, applied));
    }
}

TEST(GainSearch, StopAndALostLinkWriteTheStartingGainsBackOrSaySoWhenTheyCannot) {
    const std::vector<Box> none;
    const Box restore{"Restoring the starting gains fails!", "Warning"};
    const Box reset{"OrderModule Reset Fails!", "Warning"};
    const struct {
        int stopAfter;    // Stop once this capture is judged (0: at once; -1: never)
        bool stopInPoll;  // Stop while the capture after it waits for its record instead
        uint64_t awayMs;  // the drive goes away after two captures
        int budget;
        SearchEnd end;
        bool written;  // the final gains reached the drive
        std::size_t trials, stepTests;
        int32_t ki;  // the drive holds it at the end
        std::vector<Box> window, main;
    } cases[] = {
        {0, false, 0, 20, SearchEnd::Stopped, true, 0, 0, 300, none, none},
        {2, false, 0, 20, SearchEnd::Stopped, true, 2, 3, 300, none, none},
        {1, true, 0, 20, SearchEnd::Stopped, true, 1, 3, 300, none, none},
        {-1, false, 0, 1, SearchEnd::Budget, true, 1, 1, 300, none, none},
        {-1, false, 10'000, 20, SearchEnd::Danger, true, 3, 3, 300, none, none},
        {-1, false, 1'000'000, 20, SearchEnd::Danger, false, 3, 2, 600, {restore}, {reset}},
    };
    for (const auto& c : cases) {
        CaptureRig rig(false);
        sim::SimOptions options;
        options.load = kStandard;
        rig.drive = sim::MakeSimDrive(options, rig.clock.nowUs());
        rig.drive->write(GainAddress(K::Current) + 3, 300);
        rig.open();
        ConnectDrive(rig.link, rig.state.identity, rig.messages);
        rig.messages.clear();
        RecordingMessageSink main;
        std::atomic<bool> stop{false};
        GainSearchRun run(rig.state, rig.link, K::Current, rig.messages, main, stop);
        bool armed = false;
        const auto polls = rig.drive->pollHandler();
        rig.drive->setPollHandler([&](sim::SimDrive& d, uint64_t now) {
            if (armed) {
                stop = true;
            }
            return polls(d, now);
        });
        run.setTrialListener([&](const Trial& t) {
            if (t.number == c.stopAfter) {
                c.stopInPoll ? void(armed = true) : void(stop = true);
            } else if (t.number == 2 && c.awayMs > 0) {
                rig.drive->goAwayFor(c.awayMs * 1000);
            }
        });
        if (c.stopAfter == 0) {
            stop = true;
        }
        const bool written =
            run.run(SearchTarget{5.0, c.budget}, true) == SearchRunStatus::Finished;
        const auto x = Exchanges(*rig.drive);
        EXPECT_EQ(
            std::tuple(written, run.search()->end(), run.search()->trials().size(),
                       std::count_if(x.begin(), x.end(), [](auto& r) { return r.sub() == 0x0012; }),
                       rig.drive->read(GainAddress(K::Current) + 3), rig.messages.boxes(),
                       main.boxes()),
            std::tuple(c.written, c.end, c.trials, c.stepTests, c.ki, c.window, c.main))
            << c.trials;
    }
}

constexpr uint32_t kLimitMs = 500;
RecordShape RecordOf(int32_t ki) {
    return {.gains = {4, 1228, 48, static_cast<uint16_t>(ki)}, .gainCount = 4};
}

TEST(TuningAssistant, JudgesTheProposalsRecordsRestoresOnDangerAndAppliesTheBest) {
    TuningAssistant a(K::Current);
    EXPECT_EQ(a.statusLine(), "Start captures with the gains shown, then changes Ki by experiment");
    EXPECT_EQ(TuningAssistant(K::Speed).statusLine(),
              "Start captures with the gains shown, then changes T_rc and Kp by experiment");
    a.start(Ki(1000), {}, kLimitMs, 0);
    EXPECT_EQ(std::pair(a.phase(), a.takeWindowGains()),
              std::pair(AssistantPhase::Searching, std::optional(Ki(1000))));
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "given once";
    a.start(Ki(7), {}, kLimitMs, 0);
    EXPECT_EQ(a.search()->startGains(), Ki(1000)) << "a second Start while searching";
    // The record's gains, what it measured -> its use, the gains the edits take.
    const struct {
        int32_t capturedKi;
        CaptureOutcome outcome;
        RecordUse use;
        std::optional<LoopGains> edits;
        bool driveBehind;
    } rows[] = {
        {2000, Out(1, 2, 0), RecordUse::Ignored, std::nullopt, false},  // begun earlier
        {1000, Out(2, 4, 0), RecordUse::NewBest, Ki(2000), true},
        {2000, Out(1, 2, 1), RecordUse::NewBest, Ki(4000), true},
        {4000, kOsc, RecordUse::Judged, Ki(1000), true},  // danger
        {4000, kOsc, RecordUse::Ignored, std::nullopt, true},
        {1000, Out(2, 4, 0), RecordUse::Ignored, std::nullopt, false},  // restored
    };
    uint32_t now = 0;
    for (const auto& r : rows) {
        now += 100;
        const LoopGains window = a.search()->running() ? a.search()->proposal() : Ki(1000);
        EXPECT_EQ(a.recordArrived(RecordOf(r.capturedKi), r.outcome, window, now), r.use);
        EXPECT_EQ(a.takeWindowGains(), r.edits) << r.capturedKi;
        EXPECT_EQ(a.driveBehind(), r.driveBehind) << r.capturedKi;
    }
    EXPECT_FALSE(a.tick(now + 10 * kLimitMs)) << "no capture waited for";
    EXPECT_EQ(
        std::tuple(a.search()->trials().size(), a.phase(), a.statusLine()),
        std::tuple(std::size_t{3}, AssistantPhase::Choosing,
                   "danger, capture 3 oscillates: best #2 (Ki 2000); starting gains restored"));
    using Cells = std::array<std::string, 6>;
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[1]),
              (Cells{"2", "Ki 2000", "1.000", "1.0", "2.00", "within target"}));
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[2]),
              (Cells{"3", "Ki 4000", "1.000", "0.0", "not settled", "oscillates"}));
    ASSERT_TRUE(a.canApply());
    a.apply();
    EXPECT_EQ(std::tuple(a.phase(), a.takeWindowGains(), a.driveBehind()),
              std::tuple(AssistantPhase::Idle, Ki(2000), true));
    EXPECT_EQ(std::tuple(std::string(a.unwrittenText()), a.statusLine()),
              std::tuple(std::string(kApplyFailsText), "applied: Ki 2000 (not yet in the drive)"));
    a.apply();
    a.discard();
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "the choice is made once";
    EXPECT_EQ(a.recordArrived(RecordOf(2000), Out(1, 2, 1), Ki(2000), now), RecordUse::Ignored);
    EXPECT_FALSE(a.driveBehind());
}

TEST(TuningAssistant, StopAndALostRecordRestoreTheStartingGains) {
    TuningAssistant a(K::Current);
    a.stop();
    a.discard();
    EXPECT_EQ(a.takeWindowGains(), std::nullopt) << "nothing to stop";
    a.start(Ki(1000), {}, kLimitMs, 1000);
    a.recordArrived(RecordOf(1000), Out(2, 4, 0), Ki(1000), 1100);
    EXPECT_EQ(std::tuple(a.takeWindowGains(), a.statusLine()),
              std::tuple(std::optional(Ki(2000)), "searching: capture 2 of at most 20, Ki 2000"));
    a.stop();
    EXPECT_EQ(std::tuple(a.phase(), a.search()->end(), a.takeWindowGains(),
                         std::string(a.unwrittenText())),
              std::tuple(AssistantPhase::Choosing, SearchEnd::Stopped, std::optional(Ki(1000)),
                         std::string(kRestoreFailsText)));
    a.discard();
    // The starting gains are in the edits already.
    EXPECT_EQ(std::tuple(a.phase(), a.takeWindowGains(), a.canApply(), a.statusLine()),
              std::tuple(AssistantPhase::Idle, std::optional<LoopGains>{}, false,
                         "discarded: the starting gains stay (Ki 1000) (not yet in the drive)"));
    // A new search; its first proposal's record does not come within the limit.
    a.start(Ki(1000), {3.0, 8}, kLimitMs, 2000);
    EXPECT_EQ(a.search()->target().maxCaptures, 8);
    EXPECT_TRUE(!a.tick(2000 + kLimitMs) && a.tick(2001 + kLimitMs)) << "once the limit passed";
    EXPECT_EQ(std::tuple(a.search()->end(), a.canApply(), a.takeWindowGains()),
              std::tuple(SearchEnd::Danger, false, std::optional(Ki(1000))))
        << "no capture within the target";
    EXPECT_EQ(TrialCells(*a.search(), a.search()->trials()[0]),
              (std::array<std::string, 6>{"1", "Ki 1000", "-", "-", "-", "capture failed"}));
    EXPECT_EQ(a.statusLine(),
              "danger, capture 1 capture failed: no capture within the target; starting gains "
              "restored (not yet in the drive)")
        << "Ki 2000 may still be in the drive";
}

}  // namespace
}  // namespace qx::test
