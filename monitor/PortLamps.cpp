#include "monitor/PortLamps.h"

namespace qx {

namespace {

constexpr int kInputLamps = 10;
constexpr int kFirstOutputLamp = 10;
constexpr int kOutputLamps = 4;
constexpr int kFirstPhaseLamp = 14;
constexpr int kPhaseLamps = 6;

int Bit(uint32_t word, int bit) {
    return static_cast<int>((word >> bit) & 1u);
}

}  // namespace

const std::array<LampInfo, kLampCount> kLamps = {{
    {LampGroup::Cn2Input, "ServoEn", 1206, LampField::InputBits, 9},
    {LampGroup::Cn2Input, "AlarmClr", 1207, LampField::InputBits, 8},
    {LampGroup::Cn2Input, "CCWDis", 1208, LampField::InputBits, 7},
    {LampGroup::Cn2Input, "CWDis", 1209, LampField::InputBits, 6},
    {LampGroup::Cn2Input, "CCWTLtd", 1210, LampField::InputBits, 5},
    {LampGroup::Cn2Input, "CWTLtd", 1211, LampField::InputBits, 4},
    {LampGroup::Cn2Input, "CLE/SC1/ZEROSPD", 1212, LampField::InputBits, 3},
    {LampGroup::Cn2Input, "INH/SC2", 1213, LampField::InputBits, 2},
    {LampGroup::Cn2Input, "SignInv", 1214, LampField::InputBits, 1},
    {LampGroup::Cn2Input, "PulseInv", 1215, LampField::InputBits, 0},
    {LampGroup::Cn2Output, "SRDY ", 1216, LampField::OutputBits, 4},
    {LampGroup::Cn2Output, "ALM", 1217, LampField::OutputBits, 3},
    {LampGroup::Cn2Output, "COIN", 1218, LampField::OutputBits, 2},
    {LampGroup::Cn2Output, "BRK", 1219, LampField::OutputBits, 1},
    {LampGroup::Cn1Input, "PhaseU", 1223, LampField::PhaseBits, 5},
    {LampGroup::Cn1Input, "PhaseV", 1224, LampField::PhaseBits, 4},
    {LampGroup::Cn1Input, "PhaseW", 1225, LampField::PhaseBits, 3},
    {LampGroup::Cn1Input, "PhaseA", 1226, LampField::PhaseBits, 2},
    {LampGroup::Cn1Input, "PhaseB", 1227, LampField::PhaseBits, 1},
    {LampGroup::Cn1Input, "PhaseZ", 1228, LampField::PhaseBits, 0},
}};

const std::array<const char*, 3> kLampGroupCaptions = {"CN2 Port Input ", "CN2 Port Output ",
                                                       "CN1 Input"};

LampStates ComputeLampStates(uint32_t inputBits, uint32_t outputBits, uint32_t phaseBits) {
    LampStates s{};
    for (int i = 0; i < kInputLamps; ++i) {
        s[kInputLamps - 1 - i] = Bit(inputBits, i);
    }
    const uint32_t outputs = outputBits >> 1;  // bit 0 has no lamp
    for (int i = 0; i < kOutputLamps; ++i) {
        s[kFirstOutputLamp + kOutputLamps - 1 - i] = Bit(outputs, i);
    }
    for (int i = 0; i < kPhaseLamps; ++i) {
        s[kFirstPhaseLamp + kPhaseLamps - 1 - i] = Bit(phaseBits, i);
    }
    return s;
}

LampStates ComputeLampStates(const StatusWords& w) {
    return ComputeLampStates(w.inputBits, w.outputBits, w.phaseBits);
}

}  // namespace qx
