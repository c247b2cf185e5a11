// What the two monitors make of the status words: the status dialog's conversions and
// version gate, and which lamp each signal bit lights.

#include <gtest/gtest.h>

#include "monitor/PortLamps.h"
#include "monitor/ServoStateValues.h"

namespace qx::test {
namespace {

TEST(ServoStateValues, CurrentsAreSignExtendedAndScaled) {
    EXPECT_EQ(CurrentAmps(0xFF80), -1.0f);
    EXPECT_EQ(CurrentAmps(0x00C0), 1.5f);
    EXPECT_EQ(CurrentAmps(0x8000), -256.0f);
    EXPECT_EQ(CurrentAmps(0x7FFF), 32767.0f / 128.0f);
    // Only the low 16 bits are the field.
    EXPECT_EQ(CurrentAmps(0x1234FF80), -1.0f);
    EXPECT_EQ(FormatGeneral(CurrentAmps(0xFF80)), "-1");
    EXPECT_EQ(FormatGeneral(CurrentAmps(0x00C0)), "1.5");
    EXPECT_EQ(FormatGeneral(0.0f), "0");
    EXPECT_EQ(FormatGeneral(CurrentAmps(0x7FFF)), "255.992");
}

TEST(ServoStateValues, SpeedsTruncateTowardZero) {
    EXPECT_EQ(SpeedRpm(0xFFFD), 0) << "-3 / 4 is 0, not -1";
    EXPECT_EQ(SpeedRpm(0x000A), 2);
    EXPECT_EQ(SpeedRpm(0xFFF6), -2);
    EXPECT_EQ(SpeedRpm(0xFFFC), -1);
    EXPECT_EQ(SpeedRpm(0x8000), -8192);
}

TEST(ServoStateValues, AlarmNumberNeedsTheHighByte) {
    EXPECT_EQ(AlarmNumber(0x0107), 7);
    EXPECT_EQ(AlarmNumber(0x0007), 0);
    EXPECT_EQ(AlarmNumber(0xFF00), 0);
    EXPECT_EQ(AlarmNumber(0x80FF), 255);
}

TEST(ServoStateValues, ErrorsAreInstructionMinusFeedback) {
    StatusWords w;
    w.positionCommand = 1000;
    w.positionFeedback = 990;
    w.speedCommandRaw = 0x000A;  // 2 rpm
    w.speedRaw = 0xFFFD;         // 0 rpm after truncation
    ServoStateValues v = ComputeServoStateValues(w);
    EXPECT_EQ(v.positionError, 10);
    EXPECT_EQ(v.position, 990);
    EXPECT_EQ(v.positionInstruction, 1000);
    EXPECT_EQ(v.speedError, 2) << "the speeds are divided before they are subtracted";

    // Positions are signed 32-bit pulse counts; the error wraps as the counters do.
    w.positionCommand = static_cast<uint32_t>(-5);
    w.positionFeedback = 5;
    v = ComputeServoStateValues(w);
    EXPECT_EQ(v.position, 5);
    EXPECT_EQ(v.positionInstruction, -5);
    EXPECT_EQ(v.positionError, -10);
    EXPECT_EQ(PositionError(0x80000000u, 1), 0x7FFFFFFF);
}

TEST(ServoStateValues, EveryFieldLandsInItsValue) {
    StatusWords w;
    w.torqueRaw = 0xFF80;
    w.speedRaw = 0x0190;  // 100 rpm
    w.positionFeedback = 123456;
    w.alarmWord = 0x0107;
    w.torqueCommandRaw = 0x00C0;
    w.speedCommandRaw = 0xFE70;  // -100 rpm
    w.positionCommand = 123000;
    w.dcBusVolts = 311;
    w.inputBits = w.outputBits = w.phaseBits = 0xFFFF;  // not shown here
    ServoStateValues expected;
    expected.torque = -1.0f;
    expected.speed = 100;
    expected.position = 123456;
    expected.positionError = -456;
    expected.torqueInstruction = 1.5f;
    expected.speedInstruction = -100;
    expected.positionInstruction = 123000;
    expected.speedError = -200;
    expected.alarmNumber = 7;
    expected.dcBus = 311;
    EXPECT_EQ(ComputeServoStateValues(w), expected);
    EXPECT_EQ(ComputeServoStateValues(StatusWords{}), ServoStateValues{});
}

TEST(ServoStateValues, DcBusIsShownFromSoftwareVersion1001) {
    EXPECT_FALSE(ShowsDcBus(913));
    EXPECT_FALSE(ShowsDcBus(1000));
    EXPECT_TRUE(ShowsDcBus(1001));
    EXPECT_TRUE(ShowsDcBus(1003));
    EXPECT_FALSE(ShowsDcBus(0)) << "no drive identified yet";
}

// Indices of the lit lamps.
std::vector<int> Lit(const LampStates& s) {
    std::vector<int> lit;
    for (int i = 0; i < kLampCount; ++i) {
        if (s[i] == 1) {
            lit.push_back(i);
        }
    }
    return lit;
}

TEST(PortLamps, InputsLightTheirLamps) {
    EXPECT_EQ(Lit(ComputeLampStates(0x0200, 0, 0)), std::vector<int>{0});  // ServoEn
    EXPECT_EQ(Lit(ComputeLampStates(0x0001, 0, 0)), std::vector<int>{9});  // PulseInv
    EXPECT_EQ(Lit(ComputeLampStates(0x0008, 0, 0)), std::vector<int>{6});
    EXPECT_EQ(Lit(ComputeLampStates(0xFC00, 0, 0)), std::vector<int>{}) << "bits above 9";
}

TEST(PortLamps, OutputsStartAtBitOne) {
    EXPECT_EQ(Lit(ComputeLampStates(0, 0x0001, 0)), std::vector<int>{});
    EXPECT_EQ(Lit(ComputeLampStates(0, 0x0002, 0)), std::vector<int>{13});  // BRK
    EXPECT_EQ(Lit(ComputeLampStates(0, 0x0010, 0)), std::vector<int>{10});  // SRDY
    EXPECT_EQ(Lit(ComputeLampStates(0, 0xFFF1, 0)), std::vector<int>{10});
}

TEST(PortLamps, PhasesLightTheEncoderGroup) {
    EXPECT_EQ(Lit(ComputeLampStates(0, 0, 0x0020)), std::vector<int>{14});  // PhaseU
    EXPECT_EQ(Lit(ComputeLampStates(0, 0, 0x003F)), (std::vector<int>{14, 15, 16, 17, 18, 19}));
    EXPECT_EQ(Lit(ComputeLampStates(0, 0, 0xFFC0)), std::vector<int>{});
}

TEST(PortLamps, TheTableAgreesWithTheMapping) {
    // Each lamp, lit alone through the field and bit its row names, is the only one lit.
    for (int i = 0; i < kLampCount; ++i) {
        const LampInfo& lamp = kLamps[i];
        SCOPED_TRACE(lamp.label);
        const uint32_t bit = 1u << lamp.bit;
        StatusWords w;
        (lamp.field == LampField::InputBits    ? w.inputBits
         : lamp.field == LampField::OutputBits ? w.outputBits
                                               : w.phaseBits) = bit;
        EXPECT_EQ(Lit(ComputeLampStates(w)), std::vector<int>{i});
    }
    EXPECT_STREQ(kLamps[10].label, "SRDY ");
    EXPECT_EQ(kLamps[0].controlId, 1206);
    EXPECT_EQ(kLamps[13].controlId, 1219);
    EXPECT_EQ(kLamps[14].controlId, 1223);
    EXPECT_EQ(kLamps[19].controlId, 1228);
}

}  // namespace
}  // namespace qx::test
