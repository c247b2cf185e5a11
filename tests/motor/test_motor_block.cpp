// The motor data block and the encoder fixing beyond their wire transcripts
// (tests/transcripts/motor.txt, encoder.txt): the float grids, what a read shows, the
// messages and state a failing read or write leaves, and the rotor position's marker.

#include <gtest/gtest.h>

#include <cmath>

#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "tests/motor/MotorFixture.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;

TEST(FloatFields, SnapToTheirWordsGrid) {
    using Snap = void (*)(MotorFields&, CurrentLoopModel&);
    const Snap rated = [](MotorFields& f, CurrentLoopModel&) { SnapRatedCurrent(f); };
    const struct {
        const char* name;
        Snap snap;
        float MotorFields::*field;
        float typed;
        int32_t raw;
        double shown;
    } rows[] = {
        {"Ls 1.23", &SnapLs, &MotorFields::ls, 1.23f, 1259, 1.2294921875},
        {"rated 3.3", rated, &MotorFields::ratedCurrent, 3.3f, 422, 3.296875},
        {"Ke one arrow up from 0", &SnapKe, &MotorFields::ke, 0.0f + kBackEmfStep, 3, 0.09375},
        {"Rs one arrow down from 0", &SnapRs, &MotorFields::rs, 0.0f - kResistanceStep, -10,
         -0.009765625},
        {"rated 600 (76800 would go out as 11264)", rated, &MotorFields::ratedCurrent, 600.0f,
         65535, 65535.0 / 128},
        {"rated -1e30", rated, &MotorFields::ratedCurrent, -1e30f, -32768, -256.0},
        {"rated NaN", rated, &MotorFields::ratedCurrent, NAN, 0, 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MotorFields f;
        CurrentLoopModel m;
        f.*row.field = row.typed;
        row.snap(f, m);
        EXPECT_EQ(f.*row.field, static_cast<float>(row.shown));
        // The other words stay 0; a negative word goes out as its two's complement.
        EXPECT_EQ(f.ratedCurrentRaw + m.lsRaw + m.rsRaw + m.keRaw, row.raw);
        const auto words = MotorBlockWords(f, m);
        EXPECT_EQ(words[0] | words[2] | words[3] | words[4], static_cast<uint16_t>(row.raw));
    }
}

// The flags word 0x001B: UVW 1, less-wire, pulse direction 0 and a Z type of 3, which OK
// must refuse until it is corrected.
TEST(MotorBlock, AReadShowsEveryWordInItsUnits) {
    MotorLink s;
    const uint16_t block[] = {384, 4, 1259, 512, 96, 77, 1, 0xFF1B, 10000, 4321};
    for (uint16_t k = 0; k < 10; ++k) {
        s.drive->write(0x0210 + k, block[k]);
    }
    MotorFields f;
    CurrentLoopModel m;
    Session session(s.link);
    ASSERT_EQ(ReadMotorBlock(session, f, m, s.messages), kStatusOk);
    EXPECT_EQ(std::make_tuple(f.ratedCurrentRaw, f.ratedCurrent, f.polePairs, f.magnetDirection),
              std::make_tuple(384, 3.0f, 4, 1));
    EXPECT_EQ(std::make_tuple(m.lsRaw, f.ls, m.rsRaw, f.rs, m.keRaw, f.ke, m.word0215),
              std::make_tuple(1259, 1259.0f / 1024, 512, 0.5f, 96, 3.0f, 77));
    EXPECT_EQ(std::make_tuple(f.uvwDirection, f.encoderType, f.pulseDirection, f.zPulseType),
              std::make_tuple(1, kEncoderLessWire, 0, 3));
    EXPECT_EQ(std::make_tuple(f.pulseNumber, f.encoderOffset), std::make_tuple(10000, 4321));
    EXPECT_EQ(FirstFieldOutOfRange(f), MotorField::ZPulseType);
    f.zPulseType = 2;
    EXPECT_EQ(FirstFieldOutOfRange(f), MotorField::None);
    EXPECT_TRUE(s.messages.boxes().empty());
}

// Only the first failure is reported; a failed read clears the connection and changes
// no field, a failed write sends nothing after the failing request.
TEST(MotorBlock, EachFailingStepHasItsMessage) {
    const struct {
        bool read;
        sim::FaultRule fault;
        const char* message;
        Bytes lastRequestStart;
    } rows[] = {
        {true, {sim::Fault::Silence, 0xCF, -1, -1, 0, -1}, "OrderCenter Reset Fails!", {0xCF}},
        {true, {sim::Fault::Silence, 0xC0, -1, -1, 0, -1}, "Connection Setup Fails!", {0xC0}},
        {true, {sim::Fault::Silence, 0xC1, 0x0091, -1, 0, -1}, "FPGA Read Fails!", {0xC1, 1}},
        {false, {sim::Fault::Silence, 0xC0, -1, -1, 0, -1}, "Connection Setup Fails!", {0xC0}},
        {false, {sim::Fault::Silence, 0xC1, 0x0015, 0x0214, 0, -1}, "FPGA write Fails!", {0xC1, 2}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        MotorLink s;
        s.drive->addFault(row.fault);
        MotorFields f;
        f.polePairs = 7;
        CurrentLoopModel m;
        Session session(s.link);
        EXPECT_NE(row.read ? ReadMotorBlock(session, f, m, s.messages)
                           : WriteMotorBlock(session, f, m, s.messages),
                  kStatusOk);
        EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{row.message, "Warning"}}));
        EXPECT_EQ(s.state.link.driveConnected, row.read ? 0u : 1u);
        EXPECT_EQ(f.polePairs, 7);
        const Bytes last = s.drive->requestLog().back();
        EXPECT_EQ(Bytes(last.begin() + 1, last.begin() + 1 + row.lastRequestStart.size()),
                  row.lastRequestStart);
    }
}

// The position shows only once the index flag (bit 0 of word 0x0012) is set, and every
// failed exchange shows the marker too.
TEST(RotorPosition, ShownOnlyWhenReadAndTheIndexWasSeen) {
    const struct {
        uint16_t flag;
        int silentCommand;
        uint16_t shown;
    } rows[] = {{0x0001, -1, 4660},
                {0xFFFE, -1, 65535},
                {0x0001, 0xC1, 65535},
                {0x0001, 0xCF, 65535},
                {0x0001, 0xC0, 65535}};
    for (const auto& row : rows) {
        MotorLink s;
        s.drive->write(0x0011, 0x1234);
        s.drive->write(0x0012, row.flag);
        if (row.silentCommand >= 0) {
            s.drive->addFault({sim::Fault::Silence, row.silentCommand, -1, -1, 0, -1});
        }
        Session session(s.link);
        EXPECT_EQ(ReadRotorPosition(session), row.shown) << row.flag << " " << row.silentCommand;
    }
}

}  // namespace
}  // namespace qx::test
