// Encoder fixing: the freeze and release requests, and the rotor position with its
// 65535 marker for a failed read or an index pulse not yet seen.

#include <gtest/gtest.h>

#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

TEST(EncoderFixing, FreezeWithThreeAmperesSendsCurrentWord384InHoldMode) {
    MotorLink s;
    Session session(s.link);
    ASSERT_EQ(FreezeRotor(session, kDefaultFreezeCurrentA), kStatusOk);
    const auto log = s.drive->requestLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0][1], 0xCF);
    EXPECT_EQ(log[1][1], 0xC0);
    EXPECT_EQ(log[2][2], 1);  // every press opens a fresh session
    EXPECT_EQ(PayloadOf(log[2]), (Bytes{0x00, 0x18, 0x00, 0x02, 0x01, 0x80, 0x00, 0x01}));
    EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Holding);
    EXPECT_EQ(s.motor->state().current, 384);
}

TEST(EncoderFixing, ReleaseIsAServoOff) {
    MotorLink s;
    Session session(s.link);
    ASSERT_EQ(FreezeRotor(session, 10), kStatusOk);
    EXPECT_EQ(s.motor->state().current, 1280);
    ASSERT_EQ(ServoOff(session), kStatusOk);
    EXPECT_EQ(PayloadOf(s.drive->requestLog().back()), (Bytes{0x00, 0x18, 0x00, 0x05}));
    EXPECT_EQ(s.motor->state().mode, sim::SimMotorMode::Off);
}

TEST(RotorPosition, ShownOnlyOnceTheIndexWasSeen) {
    MotorLink s;
    Session session(s.link);
    s.drive->write(0x0011, 0x1234);
    s.drive->write(0x0012, 0x0001);
    EXPECT_EQ(ReadRotorPosition(session), 4660);
    EXPECT_EQ(PayloadOf(s.drive->requestLog().back()), (Bytes{0x00, 0x91, 0x00, 0x11, 0x00, 0x02}));
    s.drive->write(0x0012, 0xFFFE);  // every bit but the index bit
    EXPECT_EQ(ReadRotorPosition(session), kRotorPositionUnknown);
    s.drive->write(0x0012, 0x0001);
    s.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, -1, 0, -1});
    EXPECT_EQ(ReadRotorPosition(session), kRotorPositionUnknown);
    s.drive->clearFaults();
    s.drive->addFault({sim::Fault::Silence, 0xCF, -1, -1, 0, -1});
    EXPECT_EQ(ReadRotorPosition(session), kRotorPositionUnknown);
}

TEST(RotorPosition, ArmedFlagReadsClearUntilTheIndexPasses) {
    sim::SimMotorSpec spec;
    spec.zPulseType = 1;
    MotorLink s(spec);
    Session session(s.link);
    // Arm the flag as the Z test does, with the matching Z type in the flags word.
    ASSERT_EQ(OpenMotorSession(session), kStatusOk);
    const uint16_t z[1] = {1};
    ASSERT_EQ(WriteWords(s.link, session.next(), 0x0217, z, 500), kStatusOk);
    const uint8_t arm[2] = {0x00, 0x01};
    ASSERT_EQ(WriteBlock(s.link, session.next(), 0x0012, arm, 500), kStatusOk);
    EXPECT_EQ(ReadRotorPosition(session), kRotorPositionUnknown);
    // Turning at 60 rpm, an index pulse passes within a second.
    ASSERT_EQ(OpenMotorSession(session), kStatusOk);
    ASSERT_EQ(MotorTest(s.link, session.next(), MotorTestAction::Turn, 100, 0), kStatusOk);
    s.clock.advanceUs(1'100'000);
    const uint16_t p = ReadRotorPosition(session);
    EXPECT_NE(p, kRotorPositionUnknown);
    EXPECT_EQ(p, s.drive->read(0x0011));
}

}  // namespace
}  // namespace qx::test
