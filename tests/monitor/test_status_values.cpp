// What the two monitors make of the status words: the status dialog's units and version
// gate, and the port monitor's lamps with the signal bit of each.

#include <gtest/gtest.h>

#include "monitor/PortLamps.h"
#include "monitor/ServoStateValues.h"

namespace qx::test {
namespace {

TEST(ServoStateValues, EachWordInTheDialogsUnits) {
    for (const auto& [raw, shown] : std::vector<std::pair<uint32_t, const char*>>{
             {0xFF80, "-1"},
             {0x00C0, "1.5"},
             {0x8000, "-256"},
             {0x7FFF, "255.992"},
             {0x0000, "0"},
             {0x1234FF80, "-1"}}) {  // only the low 16 bits are the field
        EXPECT_EQ(FormatGeneral(CurrentAmps(raw)), shown) << raw;
    }
    for (const auto& [raw, rpm] : std::vector<std::pair<uint32_t, int32_t>>{
             {0xFFFD, 0}, {0x000A, 2}, {0xFFF6, -2}, {0xFFFC, -1}, {0x8000, -8192}}) {
        EXPECT_EQ(SpeedRpm(raw), rpm) << raw;  // truncated toward zero
    }
    for (const auto& [word, alarm] : std::vector<std::pair<uint32_t, int32_t>>{
             {0x0107, 7}, {0x0007, 0}, {0xFF00, 0}, {0x80FF, 255}}) {
        EXPECT_EQ(AlarmNumber(word), alarm) << word;
    }
    for (const auto& [version, shown] : std::vector<std::pair<uint32_t, bool>>{
             {913, false}, {1000, false}, {1001, true}, {1003, true}, {0, false}}) {
        EXPECT_EQ(ShowsDcBus(version), shown) << version;
    }
}

TEST(ServoStateValues, ErrorsAreInstructionMinusFeedbackInShownUnits) {
    const struct {
        StatusWords words;
        ServoStateValues shown;
    } rows[] = {
        // Torques, speeds and positions of both kinds, an alarm and the DC bus; the
        // speeds are divided before they are subtracted; the phase, input and output
        // words are not shown.
        {{0xFF80, 0xFFFD, 990, 0x0107, 0x00C0, 0x000A, 1000, 0xFFFF, 0xFFFF, 0xFFFF, 311},
         {-1.0f, 0, 990, 10, 1.5f, 2, 1000, 2, 7, 311}},
        {{0x0000, 0x0190, 123456, 0, 0, 0xFE70, 123000, 0, 0, 0, 0},
         {0.0f, 100, 123456, -456, 0.0f, -100, 123000, -200, 0, 0}},
        // Signed 32-bit pulse counts; the error wraps as the drive's counters do.
        {{0, 0, 5, 0, 0, 0, 0xFFFFFFFB, 0, 0, 0, 0}, {0.0f, 0, 5, -10, 0.0f, 0, -5, 0, 0, 0}},
        {{0, 0, 1, 0, 0, 0, 0x80000000, 0, 0, 0, 0},
         {0.0f, 0, 1, 0x7FFFFFFF, 0.0f, 0, INT32_MIN, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ComputeServoStateValues(row.words), row.shown);
    }
}

// The port monitor's lamps in their index order: label, control, group and the bit that
// lights each. Each bit lights its lamp alone; outputs' bit 0 and the bits beyond the
// lamps light none.
TEST(PortLamps, EachSignalBitLightsItsLampAlone) {
    using G = LampGroup;
    using F = LampField;
    const LampInfo rows[kLampCount] = {
        {G::Cn2Input, "ServoEn", 1206, F::InputBits, 9},
        {G::Cn2Input, "AlarmClr", 1207, F::InputBits, 8},
        {G::Cn2Input, "CCWDis", 1208, F::InputBits, 7},
        {G::Cn2Input, "CWDis", 1209, F::InputBits, 6},
        {G::Cn2Input, "CCWTLtd", 1210, F::InputBits, 5},
        {G::Cn2Input, "CWTLtd", 1211, F::InputBits, 4},
        {G::Cn2Input, "CLE/SC1/ZEROSPD", 1212, F::InputBits, 3},
        {G::Cn2Input, "INH/SC2", 1213, F::InputBits, 2},
        {G::Cn2Input, "SignInv", 1214, F::InputBits, 1},
        {G::Cn2Input, "PulseInv", 1215, F::InputBits, 0},
        {G::Cn2Output, "SRDY ", 1216, F::OutputBits, 4},
        {G::Cn2Output, "ALM", 1217, F::OutputBits, 3},
        {G::Cn2Output, "COIN", 1218, F::OutputBits, 2},
        {G::Cn2Output, "BRK", 1219, F::OutputBits, 1},
        {G::Cn1Input, "PhaseU", 1223, F::PhaseBits, 5},
        {G::Cn1Input, "PhaseV", 1224, F::PhaseBits, 4},
        {G::Cn1Input, "PhaseW", 1225, F::PhaseBits, 3},
        {G::Cn1Input, "PhaseA", 1226, F::PhaseBits, 2},
        {G::Cn1Input, "PhaseB", 1227, F::PhaseBits, 1},
        {G::Cn1Input, "PhaseZ", 1228, F::PhaseBits, 0},
    };
    for (int i = 0; i < kLampCount; ++i) {
        const LampInfo& row = rows[i];
        SCOPED_TRACE(row.label);
        const LampInfo& lamp = kLamps[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::string(lamp.label), row.label);
        EXPECT_EQ(std::make_tuple(lamp.group, lamp.controlId, lamp.field, lamp.bit),
                  std::make_tuple(row.group, row.controlId, row.field, row.bit));
        const uint32_t bit = 1u << row.bit;
        const LampStates lit = ComputeLampStates(row.field == F::InputBits ? bit : 0,
                                                 row.field == F::OutputBits ? bit : 0,
                                                 row.field == F::PhaseBits ? bit : 0);
        LampStates expected{};
        expected[static_cast<std::size_t>(i)] = 1;
        EXPECT_EQ(lit, expected);
    }
    EXPECT_EQ(ComputeLampStates(0xFC00, 0xFFE1, 0xFFC0), LampStates{});
    EXPECT_EQ(std::vector<std::string>(kLampGroupCaptions.begin(), kLampGroupCaptions.end()),
              (std::vector<std::string>{"CN2 Port Input ", "CN2 Port Output ", "CN1 Input"}));
}

}  // namespace
}  // namespace qx::test
