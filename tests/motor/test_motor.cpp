// The motor setup beyond its transcripts (tests/transcripts/motor, encoder, match_*): the
// float grid, the block's and rotor position's failures, what the words mean to a match,
// the direction judged, what motors give, stops in each wait, and the match's worker.

#include <gtest/gtest.h>

#include <cmath>
#include <future>

#include "motor/AnswerSlot.h"
#include "motor/AutoMatch.h"
#include "motor/AutoMatchWorker.h"
#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "sim/FreeRunFeatures.h"
#include "sim/SimMotor.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A link to a simulated drive with a motor (in the --sim-motor syntax), connected, in
// virtual time, each byte paced at the wire's speed: the rotor moves between two reads.
struct MotorLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive = std::make_shared<sim::SimDrive>();
    std::shared_ptr<sim::SimMotor> motor = sim::InstallMotorFeatures(*drive);
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<sim::SimPort>(drive, clock, true);
                   }};

    explicit MotorLink(const std::string& motorText = "") {
        ApplyStartupValues(state);
        sim::SimMotorSpec s;
        EXPECT_EQ(sim::ParseMotorSpec(motorText, s), std::nullopt) << motorText;
        motor->setSpec(s);
        link.OpenDrivePort(messages, 1);
        drive->clearRequestLog();
    }
};

// Notes when each report came and answers the direction question.
class ScriptedObserver final : public AutoMatchObserver {
  public:
    ScriptedObserver(Clock& clock, std::optional<int32_t> answer = 0)
        : clock_(clock), direction_(answer) {}
    void report(int, const MotorFields&) override { reportUs.push_back(clock_.nowUs()); }
    std::optional<int32_t> askMagnetDirection() override {
        ++questions;
        if (onQuestion) {
            onQuestion();
        }
        return direction_;
    }
    std::vector<uint64_t> reportUs;
    int questions = 0;
    std::function<void()> onQuestion;

  private:
    Clock& clock_;
    std::optional<int32_t> direction_;
};

const std::atomic<bool> kNoStop{false};
using Box = RecordingMessageSink::Box;

// f applied to each input, as "64 0 ...".
template <typename In, typename F>
std::string Each(F f, std::initializer_list<In> inputs) {
    std::string s;
    for (const In& in : inputs) {
        s += (s.empty() ? "" : " ") + std::to_string(f(in));
    }
    return s;
}

// Typed (or stepped) floats become trunc(value x scale), held within a word; a negative
// word goes out as its two's complement.
TEST(MotorBlock, FloatsTakeTheirWordsGrid) {
    const auto mH = [](float v) { return FloatToRaw(v, kInductanceScale); };
    const auto amperes = [](float v) { return FloatToRaw(v, kRatedCurrentScale); };
    EXPECT_EQ(Each<float>(mH, {1.23f, 0.0f - kResistanceStep}), "1259 -10");
    EXPECT_EQ(Each<float>(amperes, {3.3f, 600.0f, -1e30f, NAN}), "422 65535 -32768 0");
    EXPECT_EQ(FloatToRaw(0.0f + kBackEmfStep, kBackEmfScale), 3);
    EXPECT_EQ(RawToFloat(1259, 1024), 1.2294921875f);
    MotorFields f;
    CurrentLoopModel m;
    f.rs = -0.01f;
    SnapRs(f, m);
    EXPECT_EQ(std::make_pair(f.rs, MotorBlockWords(f, m)[3]),
              std::make_pair(-10.0f / 1024, uint16_t{0xFFF6}));
}

// Only the first failure is reported; a failed read clears the connection and changes
// no field; a failed write sends nothing more.
TEST(MotorBlock, EachFailingStepHasItsMessage) {
    const struct {
        bool read;
        int command, subCommand;
        const char* message;
    } rows[] = {{true, 0xCF, -1, "OrderCenter Reset Fails!"},
                {true, 0xC0, -1, "Connection Setup Fails!"},
                {true, 0xC1, 0x0091, "FPGA Read Fails!"},
                {false, 0xC0, -1, "Connection Setup Fails!"}};
    for (const auto& row : rows) {
        MotorLink s;
        s.drive->addFault({sim::Fault::Silence, row.command, row.subCommand, -1, 0, -1});
        MotorFields f;
        f.polePairs = 7;
        CurrentLoopModel m;
        Session session(s.link);
        EXPECT_NE(row.read ? ReadMotorBlock(session, f, m, s.messages)
                           : WriteMotorBlock(session, f, m, s.messages),
                  kStatusOk);
        EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{row.message, "Warning"}}));
        EXPECT_EQ(std::make_pair(s.state.link.driveConnected.load(), f.polePairs),
                  std::make_pair(row.read ? 0u : 1u, 7));
        EXPECT_EQ(s.drive->requestLog().back()[1], row.command);
    }
}

// The rotor position shows only when read and the index flag (bit 0 of word 0x0012) was
// seen; otherwise 65535.
TEST(RotorPosition, ShownOnlyWhenReadAndTheIndexWasSeen) {
    const auto read = [](std::pair<uint16_t, int> flagAndSilentCommand) {
        MotorLink s;
        s.drive->write(0x0011, 0x1234);
        s.drive->write(0x0012, flagAndSilentCommand.first);
        const int silent = flagAndSilentCommand.second;
        s.drive->addFault({sim::Fault::Silence, silent, -1, -1, 0, silent < 0 ? 0 : -1});
        Session session(s.link);
        return ReadRotorPosition(session);
    };
    EXPECT_EQ((Each<std::pair<uint16_t, int>>(
                  read, {{1, -1}, {0xFFFE, -1}, {1, 0xC1}, {1, 0xCF}, {1, 0xC0}})),
              "4660 65535 65535 65535 65535");
}

TEST(MatchDecoding, WhatTheDrivesWordsMean) {
    EXPECT_EQ(Each<float>(TestCurrentRaw, {2.5f, 0.0f, -1.0f, 1e9f, NAN}), "64 0 0 65535 0");
    EXPECT_EQ(Each<uint16_t>(DecodePulseNumber, {10003, 2500}), "10000 2500");
    EXPECT_EQ(Each<uint16_t>(DecodePolePairs, {9, 10, 15, 16}), "2 3 4 4");  // halves go up
    EXPECT_EQ(Each<uint8_t>(DecodeEncoderType, {0x02, 0x04, 0x08, 0x01, 0x00, 0xF1}),
              "0 0 0 1 1 1");
    using Hall = std::array<uint16_t, 4>;
    const auto uvw = [](Hall h) {
        const uint16_t w[4] = {h[0], h[1], h[2], h[3]};
        return DecodeUvwDirection(w).value_or(-1);  // -1: out of range
    };
    EXPECT_EQ(Each<Hall>(uvw, {{3, 3, 3, 3}, {4, 4, 4, 4}, {3, 4, 3, 4}, {0, 0, 0, 0}}),
              "0 1 -1 -1");
    EXPECT_EQ(Each<Hall>(uvw, {{4, 3, 3, 3}, {3, 4, 3, 3}, {3, 3, 4, 3}, {3, 3, 3, 4}}),
              "-1 -1 -1 -1");
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
    // Status, pulse direction and reads after the probe, for a magnet direction and the
    // positions the drive reads.
    const auto judge = [](int magnet, const std::vector<uint16_t>& positions) {
        ScriptedLink s;
        s.open();
        uint8_t selector = 0;
        for (const uint16_t p : positions) {
            s.port->script(AckReply(0xC1, selector++, {p}));
        }
        Session session(s.link);
        MotorFields f;
        f.magnetDirection = magnet;
        f.pulseDirection = 7;
        const uint32_t status = DetectPulseDirection(session, f, kNoStop);
        return std::to_string(status) + " " + std::to_string(f.pulseDirection) + " " +
               std::to_string(s.port->requests().size() - 1);
    };
    const std::vector<uint16_t> up = {100, 200, 300}, down = {300, 200, 100};
    EXPECT_EQ(judge(0, Passes(9, up)), "0 0 27");
    EXPECT_EQ(judge(1, Passes(9, up)), "0 1 27");
    EXPECT_EQ(judge(1, Passes(9, down)), "0 0 27");
    EXPECT_EQ(judge(0, Passes(1, {5, 5, 5, 65500, 10, 100}, Passes(9, down))), "0 1 33");
    EXPECT_EQ(judge(0, Passes(8, up, {300, 200, 250, 100, 200, 150, 100, 200, 300})), "0 0 33");
    EXPECT_EQ(judge(0, Passes(8, down, {100, 200, 150, 300, 200, 250, 300, 200, 100})), "0 1 33");
}

// What a match finds, on one line of a table: pole pairs, pulse number, encoder offset,
// encoder type, magnet direction, pulse direction, Z pulse type, UVW direction.
std::string Describe(const MotorFields& f) {
    char s[128];
    std::snprintf(s, sizeof s, "%d %d %d %d %d %d %d %d", f.polePairs, f.pulseNumber,
                  f.encoderOffset, f.encoderType, f.magnetDirection, f.pulseDirection, f.zPulseType,
                  f.uvwDirection);
    return s;
}

// The block as the drive now holds it.
MotorFields InDrive(MotorLink& s) {
    Session session(s.link);
    AutoMatchInput read;
    ReadMotorBlock(session, read.fields, read.loopModel, s.messages);
    return read.fields;
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
    const std::string unknown = "4 65535 0 0 0 0 0 0";
    const struct {
        const char* motor;
        float ratedA;
        int answer, leftCapture;  // the capture's trigger mode, -1 for none
        uint32_t status;
        std::string found;
    } rows[] = {
        {"uvw-direction=1", 2.5f, 0, -1, kStatusOk, "4 10000 1234 0 0 0 0 1"},
        {"encoder-type=1,pole-pairs=5,pulse-number=2500,magnet-direction=1,pulse-direction=1,"
         "z-type=1,offset=40000,uvw-direction=1",
         2.5f, 1, -1, kStatusOk, "5 2500 40000 1 1 1 1 0"},
        {"pole-pairs=3", 2.5f, 0, 2, kStatusOk, "3 10000 1234 0 0 0 0 0"},
        {"pole-pairs=3", 2.5f, 0, 0, kStatusOk, "3 10000 1234 0 0 0 0 0"},
        {"pulse-number=996", 2.5f, 0, -1, kMatchOutOfRange, unknown},
        {"test-ms=3600000", 2.5f, 0, -1, kMatchGaveUp, unknown},
        {"", 0.0f, 0, -1, kMatchGaveUp, unknown},  // no current: the motor never turns
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.motor) + " " + std::to_string(row.ratedA));
        MotorLink s(row.motor);
        sim::InstallFreeRunFeatures(*s.drive);
        const auto mode = static_cast<uint8_t>(row.leftCapture);
        if (row.leftCapture >= 0) {
            ASSERT_EQ(StartFreeCapture(s.link, 1, {0, 0x7FFFFFFF, mode, 512, 1}), kStatusOk);
        }
        ScriptedObserver o(s.clock, row.answer);
        o.onQuestion = [&] {
            // Asked 2 s after the turn request's exchange (14 and 8 bytes of 12 bits at
            // 115200 baud) that followed the last report, with a fifth of the rated current.
            EXPECT_EQ(s.motor->state().current, TestCurrentRaw(row.ratedA));
            ASSERT_EQ(o.reportUs.size(), 4u);
            const uint64_t settledUs = s.clock.nowUs() - o.reportUs.back();
            EXPECT_GE(settledUs, 2'000'000u + 22 * 12 * 1'000'000 / 115'200);
            EXPECT_LT(settledUs, 2'000'000u + 22 * 12 * 1'000'000 / 115'200 + 100);
        };
        const AutoMatchResult r =
            AutoMatch(s.link, RatedCurrent(row.ratedA), o, s.messages, kNoStop);
        EXPECT_EQ(std::tuple(r.status, o.questions, r.servoOffAfterFailure, s.motor->state().mode),
                  std::tuple(row.status, 1, row.status != kStatusOk, sim::SimMotorMode::Off));
        EXPECT_EQ(Describe(r.fields), row.found);
        EXPECT_EQ(Describe(InDrive(s)), row.found);
        EXPECT_TRUE(s.messages.boxes().empty());
    }
}

// A stop asked for while the match waits on the motor ends the waiting loop at its next
// turn, and one between two steps ends the match before the next: the requests under way
// finish, the servo-off follows at once.
TEST(AutoMatch, AStopEndsEachWaitAtOnceAndTheServoIsSwitchedOff) {
    const struct {
        const char* during;
        uint16_t subCommand, address;
        std::size_t requestsAfter;  // before the servo-off's session
        int questions;
    } rows[] = {
        {"the first servo-off, between two steps", 0x0018, 0x0005, 0, 0},
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

    void report(int, const MotorFields&) override {}
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
        EXPECT_TRUE(s.messages.boxes().empty()) << "no \"Invalid Direction Input!\" for a stop";
        EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
    }
}

}  // namespace
}  // namespace qx::test
