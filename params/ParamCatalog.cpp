#include "params/ParamCatalog.h"

#include <algorithm>

namespace qx {

namespace {

constexpr std::array<std::string_view, kHighestFixedTextParam + 1> kFixedTitles = {
    "Software Version",
    "Motor Type Code",
    "User Parameter Protection Code",
    "Display Mode Selection",
    "Motor Control Mode",
    "Mechanical brake delay time Setting",
    "Current Turn off delay time setting",
    "Mechanical brake speed setting",
    "Inverting enable of low part CN2 input signals",
    "Inverting enable of high part CN2 input signals",
    "Inverting enable of encoder input ports",
    "Force enable of low part CN2 input signals",
    "Force enable of high part CN2 input signals",
    "Inverting enable of high part CN2 output signals",
    "Inverting enable of low part CN2 output signals",
    "The gain of Analog Torque Input",
    "The Bias Compensation of Torque Analog Input",
    "Invert Enable of Analog Torque Input",
    "The Gain of Analog Speed Input",
    "The Bias Compensation of Analog Speed Input",
    "Invert Enable of Analog Speed Input",
    "Bandwidth of Analog Speed Input",
    "Torque Overload Value",
    "Torque Overload Time",
    "Internal brake resistor temperatur alarm",
    "Internal CW Torque Limit",
    "Internal CCW Torque Limit",
    "External CW Torque Limit",
    "External CCW torque limit",
    "Maximum speed in torque mode",
    "Speed proportional gain",
    "Speed integration time constant",
    "Low-pass Bandwidth of Speed",
    "Low-pass Filter Bandwidth of Torque Instructor",
    "Time Constant of Velocity Linear Acceleration",
    "Time Constant of Velocity Linear deceleration",
    "Internal speed 1",
    "Internal speed 2",
    "Internal speed 3",
    "Internal speed 4",
    "Internal or External Speed Selection",
    "Speed in JOG Mode",
    "Maximum Speed Limit",
    "Target Speed",
    "Proportional Gain in Position Loop",
    "Differential Gain in position loop",
    "Bandwidth of Position Feedforward Loop",
    "Constant Time of Position Instruction Filter",
    "Denominator of Position Gear-Box",
    "First numerator of Position Gear-Box",
    "Second numerator of Position Gear-Box",
    "Dynamic Electronic Gearbox Enable",
    "Position Instructor Pulse Input Mode",
    "Invert Enable of Position Instruction",
    "Target Position Range",
    "Range of Acceptable Position Error",
    "Position Tracking Error Checking Enable",
    "Position Pulse Feedback Mode",
    "Home Mode",
    "Homing Speed",
    "Homing Acceleration",
    "High Part of HOME Offset",
    "Low Part of HOME Offset",
    "Demo or P2P Mode Selection",
};

constexpr int kFirstBitFieldParam = 8;

constexpr std::array<std::string_view, 6> kLowInputBits = {"ServoEn", "AlarmClr", "CCWDis",
                                                           "CWDis",   "CCWTLtd",  "CWTLtd"};
constexpr std::array<std::string_view, 4> kHighInputBits = {"CLE/SC1/ZEROSPD", "INH/SC2", "SignInv",
                                                            "PulseInv"};
constexpr std::array<std::string_view, 6> kEncoderInputBits = {"PhaseU", "PhaseV", "PhaseW",
                                                               "PhaseA", "PhaseB", "PhaseZ"};
constexpr std::array<std::string_view, 4> kHighOutputBits = {"SRDY", "ALM", "COIN", "BRK"};
constexpr std::array<std::string_view, 3> kLowOutputBits = {"PhaseA_O", "PhaseB_O", "PhaseZ_O"};

// Pn 8 to 14 in order; the force-enable pair reuses the input layouts it forces.
constexpr std::array<std::span<const std::string_view>, 7> kBitFieldLayouts = {
    kLowInputBits,  kHighInputBits,  kEncoderInputBits, kLowInputBits,
    kHighInputBits, kHighOutputBits, kLowOutputBits};

constexpr int kTorqueDemoBase = 64;
constexpr int kSpeedDemoBase = 84;
constexpr int kPositionBase = 104;
constexpr int kPositionFields = 5;

constexpr std::string_view kParagraphBreak = "\r\n\r\n";

constexpr std::string_view kRatedTorqueNote =
    "(2) Parameter value is the percentage of the rated torque, for example, if you want to "
    "set maximum torque to the 1 times of the rated torque, the parameter is 100.";
constexpr std::string_view kDemoLoopNote =
    "(2) Demo programe runs from step 1 to 10, and loops forever.";
constexpr std::string_view kSpeedUnitNote = "(2) Speed unit is r/min.";

// The texts of the generated families carry one "%d" each; keeping them in that form
// leaves the drive's wording recognisable where it is written down.
std::string WithNumber(std::string_view format, int number) {
    const auto at = format.find("%d");
    std::string text(format.substr(0, at));
    text += std::to_string(number);
    text += format.substr(at + 2);
    return text;
}

std::string Paragraphs(std::string first, std::string_view rest) {
    first += kParagraphBreak;
    first += rest;
    return first;
}

void BuildDemoText(int pn, std::string& title, std::string& help) {
    const bool torque = pn < kSpeedDemoBase;
    const int offset = pn - (torque ? kTorqueDemoBase : kSpeedDemoBase);
    const int step = offset / 2 + 1;
    const bool isTime = offset % 2 != 0;
    if (torque && !isTime) {
        title = WithNumber("Torque Value in Torque Demo step %d", step);
        help = Paragraphs(WithNumber("(1) Maximum torque in torque demo step %d.", step),
                          kRatedTorqueNote);
    } else if (torque) {
        title = WithNumber("Demo Time in Torque Demo Step %d", step);
        help = Paragraphs(
            WithNumber("(1) Demo lasting time in torque demo step %d, the unit is s.", step),
            kDemoLoopNote);
    } else if (!isTime) {
        title = WithNumber("Speed Value in Speed Demo step %d", step);
        help =
            Paragraphs(WithNumber("(1) Speed value in speed demo step %d.", step), kSpeedUnitNote);
    } else {
        title = WithNumber("Demo Time in Speed Demo Step %d", step);
        help =
            Paragraphs(WithNumber("(1) Demo lasting time in speed demo step %d, unit is S.", step),
                       kDemoLoopNote);
    }
}

void BuildPositionText(int pn, std::string& title, std::string& help) {
    const int offset = pn - kPositionBase;
    const int position = offset / kPositionFields + 1;
    switch (offset % kPositionFields) {
        case 0:
        case 1:
            title = WithNumber(offset % kPositionFields == 0 ? "High part of Position %d"
                                                             : "Low part of Position %d",
                               position);
            help = Paragraphs(WithNumber("(1) The actual value of position %d is: ", position) +
                                  "\r\n  high part x 10000 + low part",
                              "(2) The unit is pulse.");
            break;
        case 2:
            title = WithNumber("Speed of position %d", position);
            help =
                Paragraphs(WithNumber("(1) The speed of Position %d.", position), kSpeedUnitNote);
            break;
        case 3:
            title = WithNumber("Accelaration of position %d", position);
            help = Paragraphs(
                Paragraphs(WithNumber("(1) The accelarattion of motor in Position %d.", position),
                           "(2) The accelarattion and deceleration share the same value."),
                "(3) The unit is r/(s*s).");
            break;
        default:
            title = WithNumber("Maximum Torque of position %d", position);
            help = Paragraphs(WithNumber("(1) The maximum torque in Position %d.", position),
                              kRatedTorqueNote);
            break;
    }
}

}  // namespace

uint16_t ParamWordAddress(int pn) {
    return static_cast<uint16_t>(pn < 1 ? kParamImageFirstWord + pn : 0x023F + pn);
}

uint32_t ParamMinimumAddress(int pn) {
    return kRangeTableBase + 2 * static_cast<uint32_t>(pn);
}

uint32_t ParamMaximumAddress(int pn) {
    return ParamMinimumAddress(pn) + 1;
}

std::span<const std::string_view> ParamBitNames(int pn) {
    const int index = pn - kFirstBitFieldParam;
    if (index < 0 || index >= static_cast<int>(kBitFieldLayouts.size())) {
        return {};
    }
    return kBitFieldLayouts[index];
}

int ParamBitWidth(int pn) {
    return static_cast<int>(ParamBitNames(pn).size());
}

std::string_view FixedParamTitle(int pn) {
    if (pn < 0 || pn > kHighestFixedTextParam) {
        return {};
    }
    return kFixedTitles[pn];
}

void BuildParamText(int pn, uint32_t softwareVersion, std::string& title, std::string& help) {
    help.clear();
    if (pn >= kFirstVersionGatedParam && !IsSupportedSoftwareVersion(softwareVersion)) {
        return;
    }
    if (pn < 0 || pn > kHighestParamNumber) {
        return;
    }
    if (pn <= kHighestFixedTextParam) {
        title = FixedParamTitle(pn);
        help = FixedParamHelp(pn);
    } else if (pn < kPositionBase) {
        BuildDemoText(pn, title, help);
    } else {
        BuildPositionText(pn, title, help);
    }
}

}  // namespace qx
