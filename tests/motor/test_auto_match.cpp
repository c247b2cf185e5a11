// The whole automatic match against simulated motors: the order of its reports, what it
// finds and writes, how it ends when the user or the drive does not play along, and the
// hand-over between the worker and the thread that answers its question.

#include <gtest/gtest.h>

#include <future>

#include "motor/AnswerSlot.h"
#include "motor/AutoMatch.h"
#include "motor/AutoMatchWorker.h"
#include "sim/FreeRunFeatures.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

const std::atomic<bool> kNoStop{false};

const std::vector<int> kAllPercents = {5, 10, 15, 20, 25, 40, 45, 50, 90, 95};
const std::vector<std::string> kAllTexts = {
    "Setting the current loop parameters...",
    "Clearing alarms in servo ...",
    "Detecting encoder type...",
    "Detecting magnet and encoder direction...",
    "Detecting encoder Z pulse type...",
    "Turn off the servo...",
    "Setting encoder type...",
    "Detecting the polepairs' number and encoder's offset...",
    "Refresh parameters in servo...",
    "Clearing all alarms in match motor process",
};

AutoMatchInput InputWithRatedCurrent(float amperes) {
    AutoMatchInput in;
    in.fields.ratedCurrent = amperes;
    SnapRatedCurrent(in.fields);
    in.loopModel = {96, 512, 1259, 77};
    SetMotorDefaults(in.fields);
    return in;
}

std::vector<int> Percents(const ScriptedObserver& o) {
    std::vector<int> p;
    for (const auto& r : o.reports) {
        p.push_back(r.percent);
    }
    return p;
}

template <typename T>
std::vector<T> Prefix(const std::vector<T>& v, std::size_t n) {
    return std::vector<T>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n));
}

struct Truth {
    const char* name;
    sim::SimMotorSpec spec;
    int expectedUvw;
};

TEST(AutoMatch, FindsWhatTwoDifferentMotorsReallyAre) {
    sim::SimMotorSpec a;  // standard encoder, counter-clockwise, Z type 0
    a.polePairs = 4;
    a.pulseNumber = 10000;
    a.encoderOffset = 1234;
    a.uvwDirection = 1;
    sim::SimMotorSpec b;  // less-wire, clockwise, counting down, Z type 1
    b.encoderType = 1;
    b.polePairs = 5;
    b.pulseNumber = 2500;
    b.magnetDirection = 1;
    b.pulseDirection = 1;
    b.zPulseType = 1;
    b.encoderOffset = 40000;
    b.uvwDirection = 1;  // hall words that a less-wire encoder does not have
    b.noiseSeed = 7;
    for (const Truth& t : {Truth{"A", a, 1}, Truth{"B", b, 0}}) {
        SCOPED_TRACE(t.name);
        MotorLink s(t.spec);
        ScriptedObserver o;
        o.direction = t.spec.magnetDirection;
        o.onQuestion = [&] {
            // The motor has been turning with a fifth of 2.5 A for two seconds.
            EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Turning);
            EXPECT_EQ(s.motor->state().current, 64);
        };
        const AutoMatchResult r =
            AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);

        ASSERT_TRUE(r.succeeded()) << r.status;
        EXPECT_EQ(r.percent, 100);
        EXPECT_EQ(r.fields.message, "Auto match succed!");
        EXPECT_EQ(Percents(o), kAllPercents);
        EXPECT_EQ(o.texts(), kAllTexts);
        EXPECT_EQ(o.questions, 1);
        EXPECT_TRUE(s.messages.boxes().empty());
        EXPECT_FALSE(r.servoOffAfterFailure);

        const MotorFields& f = r.fields;
        EXPECT_EQ(f.encoderType, t.spec.encoderType);
        EXPECT_EQ(f.magnetDirection, t.spec.magnetDirection);
        EXPECT_EQ(f.pulseDirection, t.spec.pulseDirection);
        EXPECT_EQ(f.zPulseType, t.spec.zPulseType);
        EXPECT_EQ(f.polePairs, t.spec.polePairs);
        EXPECT_EQ(f.pulseNumber, t.spec.pulseNumber);
        EXPECT_EQ(f.encoderOffset, t.spec.encoderOffset);
        EXPECT_EQ(f.uvwDirection, t.expectedUvw);

        // The drive holds the result, with the motor constants carried through.
        EXPECT_EQ(s.drive->read(0x0210), 320);
        EXPECT_EQ(s.drive->read(0x0211), t.spec.polePairs);
        EXPECT_EQ(s.drive->read(0x0212), 1259);
        EXPECT_EQ(s.drive->read(0x0215), 77);
        EXPECT_EQ(s.drive->read(0x0216), t.spec.magnetDirection);
        EXPECT_EQ(s.drive->read(0x0217), ComposeEncoderFlags(f));
        EXPECT_EQ(s.drive->read(0x0218), t.spec.pulseNumber);
        EXPECT_EQ(s.drive->read(0x0219), t.spec.encoderOffset);
        EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
        EXPECT_EQ(s.motor->state().alarmClears, 2);
    }
}

TEST(AutoMatch, TheFieldsShownWithEachReportAreTheWorkingState) {
    MotorLink s;
    ScriptedObserver o;
    o.direction = 0;
    AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);
    ASSERT_EQ(o.reports.size(), 10u);
    // Reset before the first write: pulse number unknown until the pole-pair test.
    EXPECT_EQ(o.reports[1].fields.pulseNumber, 65535);
    EXPECT_EQ(o.reports[1].fields.polePairs, 4);
    EXPECT_EQ(o.reports[7].fields.pulseNumber, 65535);
    EXPECT_EQ(o.reports[8].fields.pulseNumber, 10000);
}

TEST(AutoMatch, HallWordsOutOfRangeWarnAndTheMatchStillSucceeds) {
    sim::SimMotorSpec spec;
    spec.hallWords = std::array<uint16_t, 4>{3, 4, 3, 4};
    MotorLink s(spec);
    ScriptedObserver o;
    o.direction = 0;
    const AutoMatchResult r =
        AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(r.fields.uvwDirection, 0);
    EXPECT_EQ(s.messages.texts(), (std::vector<std::string>{"Hall UVW signals out of range!"}));
}

// Notes each box with the number of requests that had reached the drive before it.
struct NotingSink final : MessageSink {
    explicit NotingSink(const sim::SimDrive& d) : drive(d) {}
    void show(const std::string& text, const std::string&) override {
        boxes.emplace_back(text, drive.requestLog().size());
    }
    const sim::SimDrive& drive;
    std::vector<std::pair<std::string, std::size_t>> boxes;
};

TEST(AutoMatch, EscapeAtTheDirectionQuestionStopsTheMotorBeforeTheBoxAndEndsIt) {
    MotorLink s;
    ScriptedObserver o;  // answers nothing, as Escape does
    NotingSink sink(*s.drive);
    std::size_t asked = 0;
    o.onQuestion = [&] { asked = s.drive->requestLog().size(); };
    const AutoMatchResult r = AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, sink, kNoStop);
    EXPECT_EQ(r.status, kMatchNoDirection);
    EXPECT_EQ(r.percent, 0);
    EXPECT_EQ(r.fields.message, "Auto match fails!");
    EXPECT_EQ(Percents(o), Prefix(kAllPercents, 4));
    // The servo-off (a session of its own) is all that follows the question, and it
    // comes before the box waits for the user; no direction is measured.
    const auto log = s.drive->requestLog();
    const std::vector<Bytes> afterQuestion = {
        {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C},
        {0xAA, 0xC0, 0x00, 0x03, 0x01, 0x6D},
        {0xAA, 0xC1, 0x01, 0x05, 0x00, 0x18, 0x00, 0x05, 0x01, 0x8E}};
    EXPECT_EQ(std::vector<Bytes>(log.begin() + static_cast<std::ptrdiff_t>(asked), log.end()),
              afterQuestion);
    EXPECT_EQ(sink.boxes, (std::vector<std::pair<std::string, std::size_t>>{
                              {"Invalid Direction Input!", log.size()}}));
    EXPECT_TRUE(r.servoOffAfterFailure);
    EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
}

// A pole-pair test that reports a motor the dialog could not hold fails the match: it
// is neither shown nor written, and the servo is switched off. A free-running capture
// that a window left in the drive (auto run, or armed for a trigger that never comes) is
// not the job the match's polls ask about.
TEST(AutoMatch, NonsenseFailsAndACaptureLeftPendingIsNotAnswered) {
    const struct {
        int polePairs, pulseNumber, leftCapture;  // trigger mode, -1 for none
        uint32_t status;
        int shownPolePairs, shownPulseNumber;
    } cases[] = {{11, 10000, -1, kMatchOutOfRange, 4, 65535},
                 {4, 996, -1, kMatchOutOfRange, 4, 65535},
                 {4, 10000, 2, kStatusOk, 4, 10000},
                 {4, 10000, 0, kStatusOk, 4, 10000}};
    for (const auto& c : cases) {
        sim::SimMotorSpec spec;
        spec.polePairs = c.polePairs;
        spec.pulseNumber = c.pulseNumber;
        MotorLink s(spec);
        sim::InstallFreeRunFeatures(*s.drive);
        if (c.leftCapture >= 0) {
            FreeCaptureArgs left{0, 0x7FFFFFFF, static_cast<uint8_t>(c.leftCapture), 512, 1};
            ASSERT_EQ(StartFreeCapture(s.link, 1, left), kStatusOk);
        }
        ScriptedObserver o;
        o.direction = 0;
        const AutoMatchResult r =
            AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.fields.polePairs, c.shownPolePairs);
        EXPECT_EQ(r.fields.pulseNumber, c.shownPulseNumber);
        EXPECT_EQ(s.drive->read(0x0218), c.shownPulseNumber) << "the drive holds what is shown";
        EXPECT_EQ(r.servoOffAfterFailure, c.status != kStatusOk);
        EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
    }
}

TEST(AutoMatch, ADriveThatGoesSilentEndsTheMatchAndAServoOffIsAttempted) {
    MotorLink s;
    ScriptedObserver o;
    o.direction = 0;
    std::size_t asked = 0;
    o.onQuestion = [&] {
        // Gone for good a few exchanges into the direction test.
        asked = s.drive->requestLog().size();
        s.drive->goAwayBetween(s.clock.nowUs() + 5'000, UINT64_MAX);
    };
    const uint64_t start = s.clock.nowUs();
    const AutoMatchResult r =
        AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(r.fields.message, "Auto match fails!");
    EXPECT_EQ(Percents(o), Prefix(kAllPercents, 4));
    EXPECT_TRUE(r.servoOffAfterFailure);
    // The servo-off opens its own session: its reset request went out after the failure.
    const auto log = s.drive->requestLog();
    ASSERT_GT(log.size(), asked);
    EXPECT_EQ(log.back()[1], 0xCF);
    // Bounded: the failed read's budget, then the servo-off's opening.
    EXPECT_LT(s.clock.nowUs() - start, 10'000'000u);
}

TEST(AutoMatch, ARunawayPolePairTestIsAbandonedAndTheServoSwitchedOff) {
    sim::SimMotorSpec spec;
    spec.polePairTestMs = 3'600'000;
    MotorLink s(spec);
    ScriptedObserver o;
    o.direction = 0;
    const AutoMatchResult r =
        AutoMatch(s.link, InputWithRatedCurrent(2.5f), o, s.messages, kNoStop);
    EXPECT_EQ(r.status, kMatchGaveUp);
    EXPECT_EQ(r.fields.message, "Auto match fails!");
    EXPECT_EQ(Percents(o), Prefix(kAllPercents, 8));
    EXPECT_TRUE(r.servoOffAfterFailure);
    EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
}

TEST(AutoMatch, WithoutARatedCurrentTheMotorNeverTurnsAndTheMatchGivesUp) {
    MotorLink s;
    ScriptedObserver o;
    o.direction = 0;
    const AutoMatchResult r =
        AutoMatch(s.link, InputWithRatedCurrent(0.0f), o, s.messages, kNoStop);
    EXPECT_EQ(r.status, kMatchGaveUp);
    EXPECT_EQ(r.fields.message, "Auto match fails!");
    EXPECT_TRUE(r.servoOffAfterFailure);
}

TEST(AutoMatch, WithoutADriveNothingIsSentAndTheFieldsAreReset) {
    MotorLink s;
    s.state.link.driveConnected = 0;
    ScriptedObserver o;
    AutoMatchInput in = InputWithRatedCurrent(2.5f);
    in.fields.polePairs = 9;
    in.fields.encoderOffset = 77;
    const AutoMatchResult r = AutoMatch(s.link, in, o, s.messages, kNoStop);
    EXPECT_EQ(r.status, kMatchNoDrive);
    EXPECT_EQ(r.percent, 0);
    EXPECT_EQ(r.fields.message, "Auto match fails!");
    EXPECT_EQ(r.fields.polePairs, 4);
    EXPECT_EQ(r.fields.pulseNumber, 65535);
    EXPECT_EQ(r.fields.encoderOffset, 0);
    EXPECT_TRUE(o.reports.empty());
    EXPECT_EQ(o.questions, 0);
    EXPECT_TRUE(s.drive->requestLog().empty());
    EXPECT_FALSE(r.servoOffAfterFailure);
}

// An observer as a window implements it: the question goes to another thread, and the
// worker waits until that thread answers.
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

TEST(AutoMatchWorker, TheQuestionIsAnsweredFromAnotherThread) {
    MotorLink s;
    HandOverObserver o;
    AutoMatchWorker worker(s.link, o, s.messages);
    std::promise<AutoMatchResult> done;
    ASSERT_TRUE(worker.start(InputWithRatedCurrent(2.5f),
                             [&](const AutoMatchResult& r) { done.set_value(r); }));
    EXPECT_FALSE(worker.start(InputWithRatedCurrent(2.5f), nullptr));  // one at a time
    o.asked.get_future().wait();
    o.slot.answer(0);
    const AutoMatchResult r = done.get_future().get();
    worker.stop();
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(o.reports, 10);
    ASSERT_TRUE(worker.lastResult());
    EXPECT_EQ(worker.lastResult()->fields.polePairs, 4);
    EXPECT_FALSE(worker.running());
}

TEST(AutoMatchWorker, StoppingWhileTheQuestionIsOpenEndsTheMatch) {
    MotorLink s;
    HandOverObserver o;
    std::optional<AutoMatchResult> result;
    {
        AutoMatchWorker worker(s.link, o, s.messages);
        ASSERT_TRUE(worker.start(InputWithRatedCurrent(2.5f),
                                 [&](const AutoMatchResult& r) { result = r; }));
        o.asked.get_future().wait();
        // What closing the window does: stop waiting for the user, then stop the worker.
        worker.requestStop();
        o.slot.cancel();
        worker.stop();
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, kMatchStopped);
    EXPECT_TRUE(s.messages.boxes().empty());  // no "Invalid Direction Input!" for a stop
    EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
}

}  // namespace
}  // namespace qx::test
