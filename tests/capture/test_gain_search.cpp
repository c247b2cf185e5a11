// The tuning assistant: captures judged by their metrics, the search's steps, and the
// search against the simulated drive in virtual time (both motors, danger, Stop, a lost
// link), checked once on the window's own exchanges.

#include <gtest/gtest.h>

#include <cstdio>

#include "capture/GainSearchRun.h"
#include "capture/TuningRequest.h"
#include "link/ConnectDrive.h"
#include "sim/SimOptions.h"
#include "tests/capture/CaptureRig.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
using enum TrialVerdict;
const sim::MotorConstants kStandard = *sim::SimLoadNamed("standard");
const sim::MotorConstants kHeavy = *sim::SimLoadNamed("heavy");

CaptureOutcome Measured(bool settled, double rise, double settling, double overshoot) {
    CaptureOutcome o;
    o.captured = true;
    o.metrics.status = StepStatus::Ok;
    o.metrics.settled = settled;
    o.metrics.riseTimeMs = rise;
    o.metrics.settlingTimeMs = settling;
    o.metrics.overshootPercent = overshoot;
    return o;
}
CaptureOutcome Settled(double rise, double settling, double overshoot) {
    return Measured(true, rise, settling, overshoot);
}

struct TuneRig : SimLink {
    RecordingMessageSink main;
    TuneRig(const sim::MotorConstants& motor, CaptureKind kind, LoopGains start) {
        sim::SimOptions options;
        options.load = motor;
        drive = sim::MakeSimDrive(options, clock.nowUs());
        for (int k = 0; k < start.count; ++k) {
            if (start.words[k] != 0) {
                drive->write(GainAddress(kind) + k, static_cast<uint16_t>(start.words[k]));
            }
        }
        // Steps small enough to keep the speed and position loops clear of their limits.
        state.speedCaptureSettings.range = 100;
        state.positionCaptureSettings.range = 2000;
        open();
        ConnectDrive(link, state.identity, messages);
        messages.clear();
        drive->clearRequestLog();
    }
    int32_t word(CaptureKind kind, int k) { return drive->read(GainAddress(kind) + k); }
};

// Every exchange as "CMD payload words", polls in a row as "C2+" (one or more); the
// selectors must run 0 for the session opening, then 1, 2, 3 ... ("selector" marks the
// first that does not).
std::vector<std::string> Transcript(const sim::SimDrive& drive) {
    std::vector<std::string> out;
    int next = 0;
    for (const Request& r : Exchanges(drive)) {
        char word[8];
        std::snprintf(word, sizeof word, "%02X", r.command);
        std::string line = word;
        for (std::size_t i = 0; i + 1 < r.payload.size(); i += 2) {
            std::snprintf(word, sizeof word, " %04X", r.word(i));
            line += word;
        }
        const bool opening = r.command == 0xCF || r.command == 0xC0;
        if (r.selector != (opening ? 0 : next)) {
            return {"selector", line};
        }
        next = opening ? 1 : r.selector + 1;
        if (r.command != 0xC2 || out.back() != "C2+") {
            out.push_back(r.command == 0xC2 ? "C2+" : line);
        }
    }
    return out;
}

TEST(GainSearch, CapturesAreJudgedByTheirMetrics) {
    CaptureOutcome noStep = Settled(1, 1, 0), saturated = noStep, ringing = noStep,
                   oscillating = noStep;
    noStep.metrics.status = StepStatus::StepOutsideRecord;
    saturated.saturated = true;
    ringing.ringing = true;
    oscillating.metrics.oscillating = true;
    const std::pair<CaptureOutcome, TrialVerdict> cases[] = {
        {CaptureOutcome{}, Failed},
        {noStep, NoStep},
        {saturated, Saturates},
        {ringing, Oscillates},
        {oscillating, Oscillates},
        {Measured(false, 1, 1, 2.1), Oscillates},
        {Measured(false, 1, 1, 2.0), TooSlow},
        {Settled(1, 1, 5.1), Overshoots},
        {Settled(1, 1, 5.0), WithinTarget}};
    for (const auto& [outcome, verdict] : cases) {
        EXPECT_EQ(ClassifyCapture(outcome, 5.0), verdict) << VerdictText(verdict);
    }
    EXPECT_TRUE(AtRecordLimit(CaptureKind::Current, -256.0f));
    EXPECT_FALSE(AtRecordLimit(CaptureKind::Current, 255.9f));
    EXPECT_TRUE(AtRecordLimit(CaptureKind::Speed, 8191.75f));
    EXPECT_TRUE(AtRecordLimit(CaptureKind::Position, 2147483647.0f));
    EXPECT_FALSE(AtRecordLimit(CaptureKind::Position, -2147483000.0f));

    // A record of the current window's default step test: -1 A, then +1 A from point 100.
    SharedState state;
    ApplyStartupValues(state);
    state.identity.baseSampleRateHz = 4000;
    state.identity.msPerTick = 1.0f;
    FillTuningRequest(state, CaptureKind::Current);
    std::vector<float> clean(512, 1.0f);
    std::fill_n(clean.begin(), 100, -1.0f);
    std::vector<float> cut = clean, rings = clean;
    cut[300] = 256.0f;
    for (std::size_t i = 100; i < rings.size(); i += 2) {
        rings[i] = 0.8f;
    }
    const CaptureOutcome a = MeasureTuningRecord(state, clean);
    const CaptureOutcome b = MeasureTuningRecord(state, cut);
    const CaptureOutcome c = MeasureTuningRecord(state, rings);
    EXPECT_TRUE(a.captured && a.metrics.settled && !a.saturated && !a.ringing);
    EXPECT_TRUE(b.saturated && !b.ringing);
    EXPECT_TRUE(c.ringing && !c.saturated);
}

// A search told scripted outcomes: which gains it proposes in turn, and how it ends.
TEST(GainSearch, ItStepsTowardsTheEdgeOfTheTargetAndEndsAtOnceOnDanger) {
    const CaptureOutcome creeps = Measured(false, 1, 1, 0);
    CaptureOutcome osc = creeps;
    osc.metrics.oscillating = true;
    const auto ki = [](int32_t k) { return LoopGains{{4096, 1228, 1280, k}, 4}; };
    using Steps = std::vector<std::pair<std::vector<int32_t>, CaptureOutcome>>;  // knobs' words
    const struct {
        CaptureKind kind;
        LoopGains start;
        Steps steps;
        SearchEnd end;
        int best;  // 0: none
    } scripts[] = {
        // Doubling while faster, half a step near the limit; a step no faster ends the pass;
        // the second starts with half the step (a quarter near the limit).
        {CaptureKind::Current, ki(1000),
         Steps{{{1000}, Settled(1.0, 3, 0)},
               {{2000}, Settled(0.8, 2.5, 3)},
               {{2828}, Settled(0.79, 2.5, 4)},
               {{2378}, Settled(0.7, 2, 6)}},
         SearchEnd::Done, 2},
        // The edge between within and beyond is halved; the second pass starts from it.
        {CaptureKind::Current, ki(2000),
         Steps{{{2000}, Settled(0.8, 2.5, 1)},
               {{4000}, Settled(0.6, 3, 6)},
               {{2828}, Settled(0.7, 2.4, 3)},
               {{3363}, Settled(0.69, 2.4, 4.5)},
               {{3668}, Settled(0.65, 3, 5.5)},
               {{3221}, Settled(0.65, 2.3, 3.5)}},
         SearchEnd::Done, 6},
        // No faster: the starting gains stay the best (half the limit is not near it yet).
        {CaptureKind::Current, ki(2000),
         Steps{{{2000}, Settled(0.8, 2.5, 2.5)}, {{4000}, Settled(0.9, 2.5, 0)}}, SearchEnd::Done,
         1},
        // A response that creeps to the command is judged by its settling, not its rise.
        {CaptureKind::Current, ki(100),
         Steps{{{100}, Settled(1.0, 60, 0)}, {{200}, Settled(1.2, 5, 0)}, {{400}, osc}},
         SearchEnd::Danger, 2},
        // Overshooting at first: back off, halve the edge of Kp, then Kd (less of it is
        // faster); oscillation after a loop at rest ends the search at once.
        {CaptureKind::Position,
         {{1600, 100, 100, 0}, 3},
         Steps{{{1600, 100}, Settled(15, 40, 17)},
               {{800, 100}, Settled(30, 60, 0)},
               {{1131, 100}, Settled(20, 40, 2)},
               {{1345, 100}, Settled(16, 40, 8)},
               {{1233, 100}, Settled(18, 38, 3)},
               {{1233, 71}, osc}},
         SearchEnd::Danger,
         5},
        // At rest, overshooting or creeping, then oscillating: danger.
        {CaptureKind::Current, ki(8000), Steps{{{8000}, Settled(0.4, 3, 11)}, {{4000}, osc}},
         SearchEnd::Danger, 0},
        {CaptureKind::Current, ki(100), Steps{{{100}, creeps}, {{200}, osc}}, SearchEnd::Danger, 0},
    };
    for (const auto& script : scripts) {
        GainSearch search(script.kind, script.start);
        for (const auto& [words, outcome] : script.steps) {
            ASSERT_TRUE(search.running());
            for (std::size_t k = 0; k < words.size(); ++k) {
                EXPECT_EQ(search.proposal().words[search.knobs()[k].index], words[k]);
            }
            search.record(outcome);
        }
        EXPECT_EQ(search.end(), script.end);
        EXPECT_EQ(search.best() ? search.best()->number : 0, script.best);
        EXPECT_EQ(search.finalGains(false), script.start);
        const bool applies = script.end == SearchEnd::Done;
        EXPECT_EQ(search.finalGains(true), applies ? search.best()->gains : script.start);
    }
}

TEST(GainSearch, FromPoorGainsItReachesTheTargetOnBothMotorsAndFindsEachItsOwn) {
    const struct {
        CaptureKind kind;
        LoopGains start;  // the knobs' words; 0 keeps the drive's own
        bool apply;       // the oscillating starts apply what they find
    } starts[] = {
        {CaptureKind::Current, {{0, 0, 0, 50}, 4}, false},  // creeps, never settles
        {CaptureKind::Current, {{0, 0, 0, 65535}, 4}, true},
        {CaptureKind::Speed, {{100, 400, 0, 0}, 4}, false},
        {CaptureKind::Speed, {{100, 5, 0, 0}, 4}, true},
        {CaptureKind::Position, {{100, 50, 0, 0}, 3}, false},
        {CaptureKind::Position, {{12800, 0, 0, 0}, 3}, true},
    };
    for (const auto& s : starts) {
        std::vector<LoopGains> found;
        for (const sim::MotorConstants& motor : {kStandard, kHeavy}) {
            TuneRig rig(motor, s.kind, s.start);
            GainSearchRun run(rig.state, rig.link, s.kind, rig.messages, rig.main);
            ASSERT_EQ(run.run(SearchTarget{}, s.apply), SearchRunStatus::Finished);
            const GainSearch& search = *run.search();
            ASSERT_NE(search.best(), nullptr);
            const StepMetrics& best = search.best()->outcome.metrics;
            const Trial& first = search.trials().front();
            EXPECT_TRUE(s.apply
                            ? first.verdict == Oscillates
                            : !(first.outcome.metrics.settlingTimeMs < 2 * best.settlingTimeMs));
            EXPECT_EQ(search.end(), SearchEnd::Done);
            EXPECT_LE(search.trials().size(), static_cast<std::size_t>(kDefaultMaxCaptures));
            EXPECT_TRUE(best.settled && best.overshootPercent <= kDefaultMaxOvershootPercent);
            // Only the loop's gains change (current Ki; speed Kp, T_rc; position Kp, Kd),
            // by a factor of 2 at most from one capture to the next.
            for (std::size_t i = 1; i < search.trials().size(); ++i) {
                for (int k = 0; k < 4; ++k) {
                    const int32_t was = search.trials()[i - 1].gains.words[k];
                    const int32_t now = search.trials()[i].gains.words[k];
                    const bool knob = s.kind == CaptureKind::Current ? k == 3 : k < 2;
                    EXPECT_TRUE(knob ? now <= 2 * was && was <= 2 * now
                                     : now == search.startGains().words[k]);
                }
            }
            // The drive keeps the starting gains, or the best when they are applied.
            const LoopGains kept = s.apply ? search.best()->gains : search.startGains();
            for (int k = 0; k < kept.count; ++k) {
                EXPECT_EQ(rig.word(s.kind, k), kept.words[k]);
            }
            EXPECT_TRUE(rig.messages.boxes().empty() && rig.main.boxes().empty());
            found.push_back(search.best()->gains);
        }
        if (s.kind != CaptureKind::Current || !s.apply) {
            EXPECT_NE(found[0], found[1]) << "each motor has gains of its own";
        }
    }
}

TEST(GainSearch, AnOscillatingCaptureEndsTheSearchAndTheStartingGainsAreWrittenBack) {
    // Overshoot up to 15 % allowed: Ki 22627 (some 10 %) is within it, but past half of it,
    // so the search raises Ki by half a step, and the current loop oscillates at 31999.
    TuneRig rig(kStandard, CaptureKind::Current, {{0, 0, 0, 22627}, 4});
    rig.state.currentCaptureSettings.sampleCount = 160;
    GainSearchRun run(rig.state, rig.link, CaptureKind::Current, rig.messages, rig.main);
    ASSERT_EQ(run.run(SearchTarget{15.0, 20}, true), SearchRunStatus::Finished);
    EXPECT_EQ(run.search()->end(), SearchEnd::Danger);
    std::vector<std::string> expected = {
        "CF", "C0", "C1 0091 0212 0004",  // gains read
        "CF", "C0", "C1 0010 0000 012C 0000 0080 3200 5DC0 7FFF FFFF 8000 0000"};
    for (const char* ki : {"5863", "7CFF", "5863"}) {  // 22627, 31999, 22627 again
        expected.insert(expected.end(),
                        {"CF", "C0", std::string("C1 0015 0212 0004 1000 04CC 0500 ") + ki,
                         "C1 0012 0000 0001 0113 00A0 0001", "C2+", "C1 0091 0400 0078",
                         "C1 0091 0478 0078", "C1 0091 04F0 0050"});
    }
    expected.insert(expected.end(), {"CF", "C0", "C1 0011 0050"});  // servo off
    EXPECT_EQ(Transcript(*rig.drive), expected);
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
        TuneRig rig(kStandard, CaptureKind::Current, {{0, 0, 0, 300}, 4});
        GainSearchRun run(rig.state, rig.link, CaptureKind::Current, rig.messages, rig.main);
        bool armed = false;
        const auto polls = rig.drive->pollHandler();
        rig.drive->setPollHandler([&](sim::SimDrive& d, uint64_t now) {
            if (armed) {
                run.requestStop();
            }
            return polls(d, now);
        });
        run.setTrialListener([&](const Trial& t) {
            if (t.number == c.stopAfter) {
                c.stopInPoll ? void(armed = true) : run.requestStop();
            } else if (t.number == 2 && c.awayMs > 0) {
                rig.drive->goAwayFor(c.awayMs * 1000);
            }
        });
        if (c.stopAfter == 0) {
            run.requestStop();
        }
        const SearchRunStatus status = run.run(SearchTarget{5.0, c.budget}, true);
        EXPECT_EQ(status == SearchRunStatus::Finished, c.written) << c.trials;
        EXPECT_EQ(run.search()->end(), c.end);
        EXPECT_EQ(run.search()->trials().size(), c.trials);
        std::size_t stepTests = 0;
        for (const Request& r : Exchanges(*rig.drive)) {
            stepTests += r.sub() == 0x0012 ? 1 : 0;
        }
        EXPECT_EQ(stepTests, c.stepTests) << c.trials;
        EXPECT_EQ(rig.word(CaptureKind::Current, 3), c.ki);
        EXPECT_EQ(rig.messages.boxes(), c.window);
        EXPECT_EQ(rig.main.boxes(), c.main);
    }
}

}  // namespace
}  // namespace qx::test
