// The automatic match beyond its wire transcripts (tests/transcripts/match_*.txt): what
// the drive's words mean, how the direction is judged, what different motors give,
// how a stop ends each waiting loop, and the worker that runs it beside a window.

#include <gtest/gtest.h>

#include <cmath>
#include <future>

#include "motor/AnswerSlot.h"
#include "motor/AutoMatch.h"
#include "motor/AutoMatchWorker.h"
#include "sim/FreeRunFeatures.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

const std::atomic<bool> kNoStop{false};

TEST(MatchDecoding, WhatTheDrivesWordsMean) {
    for (const auto& [amperes, raw] : std::vector<std::pair<float, int>>{
             {2.5f, 64}, {0.0f, 0}, {-1.0f, 0}, {1e9f, 65535}, {NAN, 0}}) {
        EXPECT_EQ(TestCurrentRaw(amperes), raw) << amperes;
    }
    EXPECT_EQ(DecodePulseNumber(10003), 10000);
    for (const auto& [w1, pairs] :
         std::vector<std::pair<uint16_t, int>>{{9, 2}, {10, 3}, {15, 4}, {16, 4}}) {
        EXPECT_EQ(DecodePolePairs(w1), pairs) << w1;
    }
    for (const auto& [high, type] : std::vector<std::pair<uint8_t, int>>{
             {0x02, 0}, {0x04, 0}, {0x08, 0}, {0x01, 1}, {0x00, 1}, {0xF1, 1}}) {
        EXPECT_EQ(DecodeEncoderType(high), type) << int{high};
    }
    const std::pair<std::array<uint16_t, 4>, std::optional<int32_t>> halls[] = {
        {{3, 3, 3, 3}, 0},
        {{4, 4, 4, 4}, 1},
        {{3, 4, 3, 4}, std::nullopt},
        {{4, 3, 3, 3}, std::nullopt},
        {{3, 4, 3, 3}, std::nullopt},
        {{3, 3, 4, 3}, std::nullopt},
        {{3, 3, 3, 4}, std::nullopt},
        {{0, 0, 0, 0}, std::nullopt}};
    for (const auto& [words, uvw] : halls) {
        const uint16_t w[4] = {words[0], words[1], words[2], words[3]};
        EXPECT_EQ(DecodeUvwDirection(w), uvw) << words[0] << words[1] << words[2] << words[3];
    }
}

std::vector<uint16_t> Passes(int n, std::vector<uint16_t> pass, std::vector<uint16_t> then = {}) {
    std::vector<uint16_t> all;
    for (int k = 0; k < n; ++k) {
        all.insert(all.end(), pass.begin(), pass.end());
    }
    all.insert(all.end(), then.begin(), then.end());
    return all;
}

// Nine passes of three rising (or falling) positions decide; a pass that is not
// monotonic in all three (a standstill, the 16-bit position wrapping, a turn back)
// counts for nothing. A clockwise magnet inverts the result.
TEST(PulseDirection, NinePassesOfThreeMonotonicSamplesDecide) {
    const std::vector<uint16_t> rising = {100, 200, 300};
    const std::vector<uint16_t> falling = {300, 200, 100};
    const struct {
        int magnet;
        std::vector<uint16_t> positions;
        int pulseDirection;
    } rows[] = {
        {0, Passes(9, rising), 0},
        {1, Passes(9, rising), 1},
        {1, Passes(9, falling), 0},
        {0, Passes(1, {5, 5, 5, 65500, 10, 100}, Passes(9, falling)), 1},
        {0, Passes(8, rising, {300, 200, 250, 100, 200, 150, 100, 200, 300}), 0},
        {0, Passes(8, falling, {100, 200, 150, 300, 200, 250, 300, 200, 100}), 1},
    };
    for (const auto& row : rows) {
        ScriptedLink s;
        s.open();
        uint8_t selector = 0;
        for (const uint16_t p : row.positions) {
            s.port->script(AckReply(0xC1, selector++, {p}));
        }
        Session session(s.link);
        MotorFields f;
        f.magnetDirection = row.magnet;
        f.pulseDirection = 7;
        EXPECT_EQ(DetectPulseDirection(session, f, kNoStop), kStatusOk);
        EXPECT_EQ(f.pulseDirection, row.pulseDirection);
        EXPECT_EQ(s.port->requests().size(), 1 + row.positions.size()) << "reads after the probe";
    }
}

// The fields as "pp=4 pn=10000 ...", so a whole result fits on one line of a table.
std::string Describe(const MotorFields& f) {
    return "pp=" + std::to_string(f.polePairs) + " pn=" + std::to_string(f.pulseNumber) +
           " off=" + std::to_string(f.encoderOffset) + " enc=" + std::to_string(f.encoderType) +
           " mag=" + std::to_string(f.magnetDirection) + " pd=" + std::to_string(f.pulseDirection) +
           " z=" + std::to_string(f.zPulseType) + " uvw=" + std::to_string(f.uvwDirection);
}

MotorFields InDrive(const sim::SimDrive& d) {
    MotorFields f;
    f.polePairs = d.read(0x0211);
    f.magnetDirection = d.read(0x0216);
    DecomposeEncoderFlags(d.read(0x0217), f);
    f.pulseNumber = d.read(0x0218);
    f.encoderOffset = d.read(0x0219);
    return f;
}

AutoMatchInput RatedCurrent(float amperes) {
    AutoMatchInput in;
    in.fields.ratedCurrent = amperes;
    SnapRatedCurrent(in.fields);
    SetMotorDefaults(in.fields);
    in.fields.encoderOffset = 77;
    return in;
}

// Whole matches against motors that differ from the fields the match starts from. What
// the match ends with is what the drive holds: a value outside the dialog's ranges fails
// the match and is never written. A capture that a free-running window left in the
// drive (armed for a trigger that never comes, or in auto run) does not answer the
// match's polls.
TEST(AutoMatch, FindsWhatEachMotorIsAndTheDriveHoldsWhatItShows) {
    const std::string unknown = "pp=4 pn=65535 off=0 enc=0 mag=0 pd=0 z=0 uvw=0";
    const struct {
        const char* motor;
        float ratedA;
        int answer, leftCapture;  // the capture's trigger mode, -1 for none
        uint32_t status;
        std::string found;
    } rows[] = {
        {"uvw-direction=1", 2.5f, 0, -1, kStatusOk,
         "pp=4 pn=10000 off=1234 enc=0 mag=0 pd=0 z=0 uvw=1"},
        {"encoder-type=1,pole-pairs=5,pulse-number=2500,magnet-direction=1,pulse-direction=1,"
         "z-type=1,offset=40000,uvw-direction=1",
         2.5f, 1, -1, kStatusOk, "pp=5 pn=2500 off=40000 enc=1 mag=1 pd=1 z=1 uvw=0"},
        {"pole-pairs=3", 2.5f, 0, 2, kStatusOk,
         "pp=3 pn=10000 off=1234 enc=0 mag=0 pd=0 z=0 uvw=0"},
        {"pole-pairs=3", 2.5f, 0, 0, kStatusOk,
         "pp=3 pn=10000 off=1234 enc=0 mag=0 pd=0 z=0 uvw=0"},
        {"pulse-number=996", 2.5f, 0, -1, kMatchOutOfRange, unknown},
        {"test-ms=3600000", 2.5f, 0, -1, kMatchGaveUp, unknown},
        {"", 0.0f, 0, -1, kMatchGaveUp, unknown},  // no current: the motor never turns
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.motor) + " " + std::to_string(row.ratedA));
        MotorLink s(row.motor);
        sim::InstallFreeRunFeatures(*s.drive);
        if (row.leftCapture >= 0) {
            const FreeCaptureArgs left{0, 0x7FFFFFFF, static_cast<uint8_t>(row.leftCapture), 512,
                                       1};
            ASSERT_EQ(StartFreeCapture(s.link, 1, left), kStatusOk);
        }
        ScriptedObserver o(s.clock, row.answer);
        o.onQuestion = [&] {
            // Asked once the motor has turned with a fifth of the rated current for 2 s.
            EXPECT_EQ(s.motor->state().current, TestCurrentRaw(row.ratedA));
            ASSERT_EQ(o.reports.size(), 4u);
            const uint64_t settledUs = s.clock.nowUs() - o.reports.back().us;
            EXPECT_GE(settledUs, 2'000'000u);
            EXPECT_LT(settledUs, 2'020'000u);
        };
        const AutoMatchResult r =
            AutoMatch(s.link, RatedCurrent(row.ratedA), o, s.messages, kNoStop);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(o.questions, 1);
        EXPECT_EQ(Describe(r.fields), row.found);
        EXPECT_EQ(Describe(InDrive(*s.drive)), row.found);
        EXPECT_EQ(r.servoOffAfterFailure, row.status != kStatusOk);
        EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
        EXPECT_TRUE(s.messages.boxes().empty());
    }
}

// A stop asked for while the match waits on the motor ends the waiting loop at its next
// turn: the requests under way finish, the servo-off follows at once.
TEST(AutoMatch, AStopEndsEachWaitAtOnceAndTheServoIsSwitchedOff) {
    const struct {
        const char* during;
        uint16_t subCommand, address;
        std::size_t requestsAfter;  // before the servo-off's session
        int questions;
    } rows[] = {
        {"the 2 s turn", 0x0018, 0x0002, 0, 0},
        {"the direction passes", 0x0091, 0x0011, 2, 1},
        {"the Z type trials", 0x0015, 0x0217, 2, 1},
        {"the pole-pair test", 0x0018, 0x0003, 0, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.during);
        MotorLink s;
        std::atomic<bool> stop{false};
        std::size_t stopAt = 0;
        uint64_t stopUs = 0;
        const auto inner = s.drive->subCommandHandler(row.subCommand);
        s.drive->setSubCommandHandler(
            row.subCommand, [&, inner](sim::SimDrive& d, std::span<const uint8_t> p, uint64_t us) {
                if (stopAt == 0 && p.size() >= 4 && (p[2] << 8 | p[3]) == row.address) {
                    stop = true;
                    stopAt = d.requestLog().size();
                    stopUs = us;
                }
                return inner(d, p, us);
            });
        ScriptedObserver o(s.clock);
        const AutoMatchResult r = AutoMatch(s.link, RatedCurrent(2.5f), o, s.messages, stop);
        EXPECT_EQ(r.status, kMatchStopped);
        EXPECT_EQ(o.questions, row.questions);
        const auto log = s.drive->requestLog();
        ASSERT_EQ(log.size(), stopAt + row.requestsAfter + 3);
        EXPECT_EQ(log.back(), (Bytes{0xAA, 0xC1, 0x01, 0x05, 0x00, 0x18, 0x00, 0x05, 0x01, 0x8E}));
        EXPECT_LT(s.clock.nowUs() - stopUs, 1'000'000u);
        EXPECT_TRUE(s.messages.boxes().empty());
    }
}

// An observer as a window implements it: the question goes to another thread, and the
// worker waits until that thread answers (or stops waiting).
class HandOverObserver final : public AutoMatchObserver {
  public:
    AnswerSlot slot;
    std::promise<void> asked;
    std::atomic<int> reports{0};

    void report(int, const MotorFields&) override { ++reports; }
    std::optional<int32_t> askMagnetDirection() override {
        slot.arm();
        asked.set_value();
        return slot.wait();
    }
};

TEST(AutoMatchWorker, TheQuestionIsAnsweredFromAnotherThreadOrCutShortByAStop) {
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "answered");
        MotorLink s;
        HandOverObserver o;
        std::promise<AutoMatchResult> done;
        auto result = done.get_future();
        {
            AutoMatchWorker worker(s.link, o, s.messages);
            ASSERT_TRUE(worker.start(RatedCurrent(2.5f),
                                     [&](const AutoMatchResult& r) { done.set_value(r); }));
            EXPECT_FALSE(worker.start(RatedCurrent(2.5f), nullptr)) << "one at a time";
            EXPECT_TRUE(worker.running());
            o.asked.get_future().wait();
            if (stopped) {
                // What closing the window does: stop waiting for the user, then the worker.
                worker.requestStop();
                o.slot.cancel();
            } else {
                o.slot.answer(0);
            }
            ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
            worker.stop();
            EXPECT_FALSE(worker.running());
            ASSERT_TRUE(worker.lastResult());
            EXPECT_EQ(worker.lastResult()->status, stopped ? kMatchStopped : kStatusOk);
        }
        EXPECT_EQ(o.reports, stopped ? 4 : 10);
        EXPECT_TRUE(s.messages.boxes().empty()) << "no \"Invalid Direction Input!\" for a stop";
        EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
    }
}

TEST(SimMotor, ItsSpecificationTextRefusesWhatItCannotTake) {
    sim::SimMotorSpec spec;
    for (const char* bad : {"poles=5", "pole-pairs=five", "hall=3/3", "pole-pairs"}) {
        EXPECT_NE(sim::ParseMotorSpec(bad, spec), std::nullopt) << bad;
    }
}

}  // namespace
}  // namespace qx::test
