// The matching steps one by one: what the drive's words mean, and the decisions taken
// from a scripted series of replies.

#include <gtest/gtest.h>

#include "motor/MatchSteps.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

const std::atomic<bool> kNoStop{false};

TEST(MatchDecoding, TestCurrentIsAFifthOfTheRatedCurrent) {
    EXPECT_EQ(TestCurrentRaw(2.5f), 64);
    EXPECT_EQ(TestCurrentRaw(0.0f), 0);
    EXPECT_EQ(TestCurrentRaw(-1.0f), 0);
    EXPECT_EQ(TestCurrentRaw(1e9f), 65535);
}

TEST(MatchDecoding, PulseNumberAndPolePairs) {
    EXPECT_EQ(DecodePulseNumber(10003), 10000);
    EXPECT_EQ(DecodePolePairs(9), 2);
    EXPECT_EQ(DecodePolePairs(10), 3);  // halves go up
    EXPECT_EQ(DecodePolePairs(16), 4);
    EXPECT_EQ(DecodePolePairs(15), 4);
}

TEST(MatchDecoding, EncoderTypeFromBits9To11) {
    EXPECT_EQ(DecodeEncoderType(0x02), kEncoderStandard);
    EXPECT_EQ(DecodeEncoderType(0x08), kEncoderStandard);
    EXPECT_EQ(DecodeEncoderType(0x01), kEncoderLessWire);
    EXPECT_EQ(DecodeEncoderType(0x00), kEncoderLessWire);
    EXPECT_EQ(DecodeEncoderType(0xF1), kEncoderLessWire);
}

TEST(MatchDecoding, HallWords) {
    EXPECT_EQ(DecodeUvwDirection({3, 3, 3, 3}), 0);
    EXPECT_EQ(DecodeUvwDirection({4, 4, 4, 4}), 1);
    EXPECT_EQ(DecodeUvwDirection({3, 4, 3, 4}), std::nullopt);
    EXPECT_EQ(DecodeUvwDirection({0, 0, 0, 0}), std::nullopt);
}

// Scripts one position read per value, with the selectors a fresh session gives.
void ScriptPositions(ScriptedLink& s, const std::vector<uint16_t>& positions) {
    uint8_t selector = 0;
    for (const uint16_t p : positions) {
        s.port->script(AckReply(0xC1, selector++, {p}));
    }
}

std::vector<uint16_t> Passes(int n, std::vector<uint16_t> pass) {
    std::vector<uint16_t> all;
    for (int k = 0; k < n; ++k) {
        all.insert(all.end(), pass.begin(), pass.end());
    }
    return all;
}

TEST(PulseDirection, NineRisingPassesDecideAndClockwiseInverts) {
    for (const int magnet : {0, 1}) {
        SCOPED_TRACE(magnet);
        ScriptedLink s;
        s.open();
        ScriptPositions(s, Passes(9, {100, 200, 300}));
        Session session(s.link);
        MotorFields f;
        f.magnetDirection = magnet;
        f.pulseDirection = 7;
        ASSERT_EQ(DetectPulseDirection(session, f, kNoStop), kStatusOk);
        EXPECT_EQ(f.pulseDirection, magnet == 0 ? 0 : 1);
        EXPECT_EQ(s.port->requests().size(), 1u + 27u);
        EXPECT_EQ(PayloadOf(s.port->requests().back()),
                  (Bytes{0x00, 0x91, 0x00, 0x11, 0x00, 0x01}));
    }
}

TEST(PulseDirection, PassesThatAreNotMonotonicLeaveTheScore) {
    ScriptedLink s;
    s.open();
    // A standstill and a wrap of the 16-bit position count for nothing; the falling
    // passes decide.
    std::vector<uint16_t> positions = {5, 5, 5, 65500, 10, 100};
    const auto falling = Passes(9, {300, 200, 100});
    positions.insert(positions.end(), falling.begin(), falling.end());
    ScriptPositions(s, positions);
    Session session(s.link);
    MotorFields f;
    ASSERT_EQ(DetectPulseDirection(session, f, kNoStop), kStatusOk);
    EXPECT_EQ(f.pulseDirection, 1);
    EXPECT_EQ(s.port->requests().size(), 1u + positions.size());
}

TEST(PulseDirection, AMotorThatNeverMovesRunsOutOfPasses) {
    MotorLink s;  // nothing turns it
    Session session(s.link);
    MotorFields f;
    EXPECT_EQ(DetectPulseDirection(session, f, kNoStop), kMatchGaveUp);
    EXPECT_EQ(s.drive->requestLog().size(), 3u * kMaxDirectionPasses);
}

TEST(ZPulseType, IndexSeenAtTheFirstPollGivesZero) {
    ScriptedLink s;
    s.open();
    s.port->script(AckReply(0xC1, 0));            // 0x0217 = 0
    s.port->script(AckReply(0xC1, 1));            // arm
    s.port->script(AckReply(0xC1, 2, {0x0001}));  // seen
    Session session(s.link);
    MotorFields f;
    f.zPulseType = 2;
    ASSERT_EQ(DetectZPulseType(session, f, kNoStop), kStatusOk);
    EXPECT_EQ(f.zPulseType, 0);
    const auto req = s.port->requests();
    ASSERT_EQ(req.size(), 4u);
    EXPECT_EQ(PayloadOf(req[1]), (Bytes{0x00, 0x15, 0x02, 0x17, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(PayloadOf(req[2]), (Bytes{0x00, 0x14, 0x00, 0x12, 0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ(PayloadOf(req[3]), (Bytes{0x00, 0x91, 0x00, 0x12, 0x00, 0x01}));
}

TEST(ZPulseType, NotSeenFor20sWithZeroButSeenWithOneGivesOne) {
    sim::SimMotorSpec spec;
    spec.zPulseType = 1;
    MotorLink s(spec);
    Session session(s.link);
    ASSERT_EQ(MotorTest(s.link, session.next(), MotorTestAction::Turn, 64, 0), kStatusOk);
    const uint64_t start = s.clock.nowUs();
    MotorFields f;
    ASSERT_EQ(DetectZPulseType(session, f, kNoStop), kStatusOk);
    EXPECT_EQ(f.zPulseType, 1);
    EXPECT_GT(s.clock.nowUs() - start, uint64_t{kZTrialMs} * 1000);
    EXPECT_EQ(s.drive->read(0x0217), 1);
}

TEST(ZPulseType, GivesUpAfterTheLastCandidate) {
    sim::SimMotorSpec spec;
    spec.zPulseType = 3;  // no type the dialog can hold sees it
    MotorLink s(spec);
    Session session(s.link);
    ASSERT_EQ(MotorTest(s.link, session.next(), MotorTestAction::Turn, 64, 0), kStatusOk);
    MotorFields f;
    EXPECT_EQ(DetectZPulseType(session, f, kNoStop), kMatchGaveUp);
    int flagWrites = 0;
    for (const Bytes& p : SubCommandPayloads(s.drive->requestLog())) {
        flagWrites += StartsWith(p, {0x00, 0x15, 0x02, 0x17}) ? 1 : 0;
    }
    EXPECT_EQ(flagWrites, kZPulseTypeCandidates);
}

TEST(PolePairs, ResultsOfTheTestWithNoise) {
    sim::SimMotorSpec spec;
    spec.polePairs = 3;
    spec.pulseNumber = 8192;
    spec.encoderOffset = 555;
    spec.uvwDirection = 1;
    MotorLink s(spec);
    Session session(s.link);
    MotorFields f;
    ASSERT_EQ(DetectPolePairsAndOffset(session, f, 64, s.messages, kNoStop), kStatusOk);
    EXPECT_EQ(f.polePairs, 3);
    EXPECT_EQ(f.pulseNumber, 8192);
    EXPECT_EQ(f.encoderOffset, 555);
    EXPECT_EQ(f.uvwDirection, 1);
    const auto payloads = SubCommandPayloads(s.drive->requestLog());
    EXPECT_EQ(payloads.front(), (Bytes{0x00, 0x18, 0x00, 0x03, 0x00, 0x40}));
    EXPECT_EQ(payloads.back(), (Bytes{0x00, 0x91, 0x04, 0x00, 0x00, 0x07}));
    EXPECT_EQ(s.motor->state().polePairTests, 1);
    EXPECT_TRUE(s.messages.boxes().empty());
}

TEST(PolePairs, HallWordsOutOfRangeWarnButDoNotFail) {
    sim::SimMotorSpec spec;
    spec.hallWords = std::array<uint16_t, 4>{3, 4, 3, 4};
    MotorLink s(spec);
    Session session(s.link);
    MotorFields f;
    f.uvwDirection = 1;
    ASSERT_EQ(DetectPolePairsAndOffset(session, f, 64, s.messages, kNoStop), kStatusOk);
    EXPECT_EQ(
        s.messages.boxes(),
        (std::vector<RecordingMessageSink::Box>{{"Hall UVW signals out of range!", "Warning"}}));
    EXPECT_EQ(f.uvwDirection, 1);  // unchanged

    // A less-wire encoder has no hall signals to judge.
    s.messages.clear();
    f.encoderType = kEncoderLessWire;
    ASSERT_EQ(DetectPolePairsAndOffset(session, f, 64, s.messages, kNoStop), kStatusOk);
    EXPECT_EQ(f.uvwDirection, 0);
    EXPECT_TRUE(s.messages.boxes().empty());
}

TEST(PolePairs, ATestThatNeverEndsIsAbandoned) {
    sim::SimMotorSpec spec;
    spec.polePairTestMs = 3'600'000;
    MotorLink s(spec);
    Session session(s.link);
    MotorFields f;
    const uint64_t start = s.clock.nowUs();
    EXPECT_EQ(DetectPolePairsAndOffset(session, f, 64, s.messages, kNoStop), kMatchGaveUp);
    const uint64_t waitedMs = (s.clock.nowUs() - start) / 1000;
    EXPECT_GT(waitedMs, kPolePairTestLimitMs);
    EXPECT_LT(waitedMs, kPolePairTestLimitMs + 2 * kBudgetShortMs);
}

TEST(Alarms, ClearedWithZerosThenTheClearWord) {
    MotorLink s;
    Session session(s.link);
    s.drive->write(0x000C, 0x0123);
    ASSERT_EQ(ClearAlarms(session), kStatusOk);
    const auto payloads = SubCommandPayloads(s.drive->requestLog());
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_EQ(payloads[0], (Bytes{0x00, 0x15, 0x00, 0x0C, 0x00, 0x03, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(payloads[1], (Bytes{0x00, 0x15, 0x00, 0x0C, 0x00, 0x03, 0x40, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s.motor->state().alarmClears, 1);
    EXPECT_EQ(s.drive->read(0x000C), 0);
}

}  // namespace
}  // namespace qx::test
