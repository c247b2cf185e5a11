// The motor data block: its wire bytes, the flags word, the float grids, and the
// messages and state a failing read or write leaves.

#include <gtest/gtest.h>

#include "motor/MotorBlock.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

void PutBlock(sim::SimDrive& d, std::array<uint16_t, 10> words) {
    for (uint16_t k = 0; k < 10; ++k) {
        d.write(0x0210 + k, words[k]);
    }
}

TEST(EncoderFlags, Word001BShowsLessWireUvwOneAndAZTypeOutOfRange) {
    MotorLink s;
    PutBlock(*s.drive, {384, 4, 1259, 512, 96, 77, 1, 0x001B, 10000, 4321});
    MotorFields f;
    CurrentLoopModel m;
    Session session(s.link);
    ASSERT_EQ(ReadMotorBlock(session, f, m, s.messages), kStatusOk);
    EXPECT_EQ(f.uvwDirection, 1);
    EXPECT_EQ(f.encoderType, kEncoderLessWire);
    EXPECT_EQ(f.pulseDirection, 0);
    EXPECT_EQ(f.zPulseType, 3);
    // 3 is outside what the dialog accepts: OK must refuse until it is corrected.
    EXPECT_EQ(FirstFieldOutOfRange(f), MotorField::ZPulseType);
    f.zPulseType = 2;
    EXPECT_EQ(FirstFieldOutOfRange(f), MotorField::None);

    EXPECT_EQ(f.ratedCurrentRaw, 384);
    EXPECT_FLOAT_EQ(f.ratedCurrent, 3.0f);
    EXPECT_EQ(f.polePairs, 4);
    EXPECT_EQ(m.lsRaw, 1259);
    EXPECT_FLOAT_EQ(f.ls, 1259.0f / 1024.0f);
    EXPECT_EQ(m.rsRaw, 512);
    EXPECT_FLOAT_EQ(f.rs, 0.5f);
    EXPECT_EQ(m.keRaw, 96);
    EXPECT_FLOAT_EQ(f.ke, 3.0f);
    EXPECT_EQ(m.word0215, 77);
    EXPECT_EQ(f.magnetDirection, 1);
    EXPECT_EQ(f.pulseNumber, 10000);
    EXPECT_EQ(f.encoderOffset, 4321);
    EXPECT_TRUE(s.messages.boxes().empty());
}

TEST(EncoderFlags, ComposeAndDecompose) {
    MotorFields f;
    DecomposeEncoderFlags(0xFF1B, f);  // the high byte is ignored
    EXPECT_EQ(ComposeEncoderFlags(f), 0x001B);
    f = {};
    f.uvwDirection = 1;
    f.encoderType = 0;
    f.pulseDirection = 1;
    f.zPulseType = 2;
    EXPECT_EQ(ComposeEncoderFlags(f), 0x0016);
}

TEST(FloatFields, SnapToTheWordGrid) {
    MotorFields f;
    CurrentLoopModel m;
    f.ls = 1.23f;
    SnapLs(f, m);
    EXPECT_EQ(m.lsRaw, 1259);
    EXPECT_DOUBLE_EQ(f.ls, 1.2294921875);

    f.ratedCurrent = 3.3f;
    SnapRatedCurrent(f);
    EXPECT_EQ(f.ratedCurrentRaw, 422);  // trunc(3.3 x 128)

    f.ke = 0.0f;
    f.ke += kBackEmfStep;  // one click on the up arrow
    SnapKe(f, m);
    EXPECT_EQ(m.keRaw, 3);
    EXPECT_DOUBLE_EQ(f.ke, 0.09375);

    // Below zero the word goes out as its two's complement.
    f.rs = 0.0f - kResistanceStep;
    SnapRs(f, m);
    EXPECT_EQ(m.rsRaw, -10);
    EXPECT_EQ(MotorBlockWords(f, m)[3], 0xFFF6);
}

TEST(FloatFields, ValuesBeyondAWordAreHeldAtItsEnds) {
    MotorFields f;
    f.ratedCurrent = 600.0f;  // 76800 would go out as 11264
    SnapRatedCurrent(f);
    EXPECT_EQ(f.ratedCurrentRaw, 65535);
    EXPECT_FLOAT_EQ(f.ratedCurrent, 65535.0f / 128.0f);
    f.ratedCurrent = -1e30f;
    SnapRatedCurrent(f);
    EXPECT_EQ(f.ratedCurrentRaw, -32768);
    f.ratedCurrent = std::numeric_limits<float>::quiet_NaN();
    SnapRatedCurrent(f);
    EXPECT_EQ(f.ratedCurrentRaw, 0);
}

TEST(MotorBlockWire, ReadOpensWithoutSyncAndAsksForTenWords) {
    ScriptedLink s;
    s.open();
    s.port->script(AckReply(0xCF, 0));
    s.port->script(AckReply(0xC0, 0));
    s.port->script(AckReply(0xC1, 1, {1, 2, 3, 4, 5, 6, 0, 0x0004, 2500, 9}));
    const auto writesBefore = s.port->writes().size();
    MotorFields f;
    CurrentLoopModel m;
    Session session(s.link);
    ASSERT_EQ(ReadMotorBlock(session, f, m, s.messages), kStatusOk);
    const auto writes = s.port->writes();
    ASSERT_EQ(writes.size() - writesBefore, 3u);  // no sync burst
    const auto req = s.port->requests();
    const Bytes& read = req.back();
    EXPECT_EQ(read[1], 0xC1);
    EXPECT_EQ(read[2], 1);
    EXPECT_EQ(PayloadOf(read), (Bytes{0x00, 0x91, 0x02, 0x10, 0x00, 0x0A}));
    EXPECT_EQ(req[req.size() - 3][1], 0xCF);
    EXPECT_EQ(req[req.size() - 2][1], 0xC0);
    EXPECT_EQ(f.pulseDirection, 1);
    EXPECT_EQ(f.pulseNumber, 2500);
}

TEST(MotorBlockWire, WriteSendsThreePartsInOrder) {
    MotorLink s;
    MotorFields f;
    CurrentLoopModel m{96, 512, 1259, 77};
    f.ratedCurrentRaw = 384;
    f.polePairs = 4;
    f.magnetDirection = 1;
    f.uvwDirection = 1;
    f.encoderType = 1;
    f.zPulseType = 2;
    f.pulseNumber = 10000;
    f.encoderOffset = 0xBEEF;
    Session session(s.link);
    ASSERT_EQ(WriteMotorBlock(session, f, m, s.messages), kStatusOk);
    const auto log = s.drive->requestLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0][1], 0xCF);
    EXPECT_EQ(log[1][1], 0xC0);
    EXPECT_EQ(PayloadOf(log[2]), (Bytes{0x00, 0x15, 0x02, 0x10, 0x00, 0x04, 0x01, 0x80, 0x00, 0x04,
                                        0x04, 0xEB, 0x02, 0x00}));
    EXPECT_EQ(PayloadOf(log[3]), (Bytes{0x00, 0x15, 0x02, 0x14, 0x00, 0x04, 0x00, 0x60, 0x00, 0x4D,
                                        0x00, 0x01, 0x00, 0x1A}));
    EXPECT_EQ(PayloadOf(log[4]),
              (Bytes{0x00, 0x15, 0x02, 0x18, 0x00, 0x02, 0x27, 0x10, 0xBE, 0xEF}));
    EXPECT_EQ(log[2][2], 1);
    EXPECT_EQ(log[3][2], 2);
    EXPECT_EQ(log[4][2], 3);
    EXPECT_EQ(s.drive->read(0x0219), 0xBEEF);
}

TEST(MotorBlockFailures, EachFailingStepHasItsMessageAndClearsTheConnection) {
    struct Case {
        const char* name;
        sim::FaultRule rule;
        const char* message;
    };
    const Case cases[] = {
        {"reset", {sim::Fault::Silence, 0xCF, -1, -1, 0, -1}, kTextResetFails},
        {"connection", {sim::Fault::Silence, 0xC0, -1, -1, 0, -1}, kTextConnectionFails},
        {"read", {sim::Fault::Silence, 0xC1, 0x0091, -1, 0, -1}, kTextFpgaReadFails},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MotorLink s;
        s.drive->addFault(c.rule);
        MotorFields f;
        f.polePairs = 7;
        CurrentLoopModel m;
        Session session(s.link);
        EXPECT_NE(ReadMotorBlock(session, f, m, s.messages), kStatusOk);
        EXPECT_EQ(s.messages.boxes(),
                  (std::vector<RecordingMessageSink::Box>{{c.message, "Warning"}}));
        EXPECT_EQ(s.state.link.driveConnected, 0u);
        EXPECT_EQ(f.polePairs, 7);  // untouched
    }
}

TEST(MotorBlockFailures, AFailedWriteKeepsWhatWentBeforeAndSendsNothingAfter) {
    MotorLink s;
    s.drive->addFault({sim::Fault::Silence, 0xC1, 0x0015, 0x0214, 0, -1});
    MotorFields f;
    f.ratedCurrentRaw = 256;
    f.pulseNumber = 10000;
    CurrentLoopModel m;
    Session session(s.link);
    EXPECT_NE(WriteMotorBlock(session, f, m, s.messages), kStatusOk);
    EXPECT_EQ(s.messages.texts(), (std::vector<std::string>{"FPGA write Fails!"}));
    EXPECT_EQ(s.drive->read(0x0210), 256);  // the first write stays
    for (const Bytes& p : SubCommandPayloads(s.drive->requestLog())) {
        EXPECT_FALSE(StartsWith(p, {0x00, 0x15, 0x02, 0x18}));
    }

    s.messages.clear();
    s.drive->clearFaults();
    s.drive->addFault({sim::Fault::Silence, 0xC0, -1, -1, 0, -1});
    s.drive->clearRequestLog();
    EXPECT_NE(WriteMotorBlock(session, f, m, s.messages), kStatusOk);
    EXPECT_EQ(s.messages.texts(), (std::vector<std::string>{"Connection Setup Fails!"}));
    EXPECT_TRUE(SubCommandPayloads(s.drive->requestLog()).empty());
}

}  // namespace
}  // namespace qx::test
