// The parameter catalogue and the editor's text forms, as tables of the drive's own
// examples: bit layouts, titles and help texts, formatting and parsing.

#include <gtest/gtest.h>

#include "params/ParamCatalog.h"
#include "params/ParamText.h"

namespace qx {
namespace {

constexpr uint32_t kSupported = 2003;
constexpr uint32_t kUnsupported = 2004;
#define QX_RATED_TORQUE                                                                    \
    "(2) Parameter value is the percentage of the rated torque, for example, if you want " \
    "to set maximum torque to the 1 times of the rated torque, the parameter is 100."
#define QX_DEMO_LOOP "(2) Demo programe runs from step 1 to 10, and loops forever."

TEST(ParamCatalog, BitFieldLayouts) {
    const struct {
        int pn, width;
        const char* names;
    } rows[] = {{7, 0, ""},
                {8, 6, "ServoEn AlarmClr CCWDis CWDis CCWTLtd CWTLtd"},
                {9, 4, "CLE/SC1/ZEROSPD INH/SC2 SignInv PulseInv"},
                {10, 6, "PhaseU PhaseV PhaseW PhaseA PhaseB PhaseZ"},
                {11, 6, "ServoEn AlarmClr CCWDis CWDis CCWTLtd CWTLtd"},
                {12, 4, "CLE/SC1/ZEROSPD INH/SC2 SignInv PulseInv"},
                {13, 4, "SRDY ALM COIN BRK"},
                {14, 3, "PhaseA_O PhaseB_O PhaseZ_O"},
                {15, 0, ""}};
    for (const auto& r : rows) {
        std::string names;
        for (const std::string_view name : ParamBitNames(r.pn)) {
            names += (names.empty() ? "" : " ") + std::string(name);
        }
        EXPECT_EQ(names, r.names) << "Pn " << r.pn;
        EXPECT_EQ(ParamBitWidth(r.pn), r.width) << "Pn " << r.pn;
    }
}

// Title and help as the editor gets them; "untouched" is what the title held before,
// and the help always held a stale text first. A null help is not compared.
TEST(BuildParamText, TitlesAndHelpsOfTheCatalogue) {
    const struct {
        int pn;
        uint32_t version;
        const char* title;
        const char* help;
    } rows[] = {
        {0, kSupported, "Software Version", nullptr},
        {2, kSupported, "User Parameter Protection Code",
         "(1) User Parameter Protection Code is used to prevent the parameters from being "
         "changed accidentally. The user parameters can be modified only when User Parameter "
         "Protection Code set to 40613. \r\n\r\n(2) Suggest to change it to a value other than "
         "40613 after adjusting parameters."},
        {22, kSupported, "Torque Overload Value",
         "(1) Set torque overload value. The value is the percentage of rated torque, no matter "
         "what the direction is;\r\n\r\n(2) If the motor torque > Pn22 and lasting time > Pn23, "
         "the servo will report a alarm and stop the motor."},
        {41, kUnsupported, "Speed in JOG Mode",
         "(1) Set the speed value in JOG control mode. Unit is r/min."},
        {57, kUnsupported, "Position Pulse Feedback Mode", nullptr},
        {58, kUnsupported, "untouched", ""},
        {63, 403, "Demo or P2P Mode Selection", nullptr},
        {64, 4003, "Torque Value in Torque Demo step 1",
         "(1) Maximum torque in torque demo step 1.\r\n\r\n" QX_RATED_TORQUE},
        {65, kSupported, "Demo Time in Torque Demo Step 1",
         "(1) Demo lasting time in torque demo step 1, the unit is s.\r\n\r\n" QX_DEMO_LOOP},
        {83, kSupported, "Demo Time in Torque Demo Step 10", nullptr},
        {84, kSupported, "Speed Value in Speed Demo step 1",
         "(1) Speed value in speed demo step 1.\r\n\r\n(2) Speed unit is r/min."},
        {103, kSupported, "Demo Time in Speed Demo Step 10",
         "(1) Demo lasting time in speed demo step 10, unit is S.\r\n\r\n" QX_DEMO_LOOP},
        {104, kSupported, "High part of Position 1",
         "(1) The actual value of position 1 is: \r\n  high part x 10000 + low part\r\n\r\n"
         "(2) The unit is pulse."},
        {106, kSupported, "Speed of position 1",
         "(1) The speed of Position 1.\r\n\r\n(2) Speed unit is r/min."},
        {108, kSupported, "Maximum Torque of position 1",
         "(1) The maximum torque in Position 1.\r\n\r\n" QX_RATED_TORQUE},
        {109, kSupported, "High part of Position 2", nullptr},
        {110, kSupported, "Low part of Position 2", nullptr},
        {182, kSupported, "Accelaration of position 16",
         "(1) The accelarattion of motor in Position 16.\r\n\r\n(2) The accelarattion and "
         "deceleration share the same value.\r\n\r\n(3) The unit is r/(s*s)."},
        {183, kSupported, "Maximum Torque of position 16", nullptr},
        {184, kSupported, "untouched", ""}};
    for (const auto& r : rows) {
        std::string title = "untouched";
        std::string help = "stale help";
        BuildParamText(r.pn, r.version, title, help);
        EXPECT_EQ(title, r.title) << "Pn " << r.pn << " of " << r.version;
        EXPECT_EQ(r.help ? help : help.substr(0, 4), r.help ? r.help : "(1) ") << "Pn " << r.pn;
    }
}

// A help text states no range the drive supplies and no rule the drive is not known to
// follow (absent), and does give what the drive documents (present).
TEST(ParamHelp, ClaimsWithdrawnAndClaimsKept) {
    const struct {
        int pn;
        const char* claim;
        bool present;
    } rows[] = {
        {10, "matching", false},    {30, "65535", false},
        {32, "1000", false},        {33, "1000", false},
        {62, "9999", false},        {3, "9999", false},
        {57, "not above", false},   {57, "must be 0", false},
        {4, "servo is off", false}, {1, "Motor menu", false},
        {42, "Keep it", false},     {56, "Keep it", false},
        {5, "typically", false},    {6, "typically", false},
        {7, "Typical", false},      {11, "Caution", false},
        {13, "Caution", false},     {27, "lower of", false},
        {28, "lower of", false},    {57, "33 means 1:1", true},
        {52, "quadrature", true},   {63, "8 x CCWTLtd + 4 x CWTLtd + 2 x SC1 + SC2 + 1", true}};
    for (const auto& r : rows) {
        EXPECT_EQ(FixedParamHelp(r.pn).find(r.claim) != std::string_view::npos, r.present)
            << "Pn " << r.pn << ": " << r.claim;
    }
}

TEST(FormatParamValue, DecimalAndBitFields) {
    const struct {
        int pn;
        int32_t value;
        const char* text;
    } rows[] = {{7, 30, "30"},    {36, -100, "-100"}, {8, 5, "000101"}, {9, 15, "1111"},
                {14, 9, "111"},   {14, 8, "111"},     {14, 4, "100"},   {14, 3, "011"},
                {13, -1, "0000"}, {15, 5, "5"}};
    for (const auto& r : rows) {
        EXPECT_EQ(FormatParamValue(r.pn, r.value), r.text) << r.pn << " " << r.value;
    }
}

// At most 11 characters count (code points, not bytes); a bit field takes any character
// but "1" as a clear bit.
TEST(ParseParamText, DecimalAndBitFields) {
    const struct {
        int width;
        const char* text;
        int32_t value;
    } accepted[] = {{0, "", 0},        {0, "-", 0},           {0, "0042", 42},
                    {0, "-17", -17},   {0, "00000000001", 1},

                    {6, "000101", 5},  {6, "0a0101", 5},      {3, "111", 7},
                    {3, "1\u00e91", 5}};
    for (const auto& r : accepted) {
        EXPECT_EQ(ParseParamText(r.text, r.width), r.value) << r.width << " '" << r.text << "'";
    }
    EXPECT_EQ(ParseParamText("2147483647", 0), INT32_MAX);
    EXPECT_EQ(ParseParamText("-2147483648", 0), INT32_MIN);
    for (const char* text : {"x", " 1", "1 ", "+1", "1.5", "--1", "1-", "0x10", "٣", "2147483648",
                             "-2147483649", "000000000001"}) {
        EXPECT_EQ(ParseParamText(text, 0), std::nullopt) << "'" << text << "'";
    }
    for (const char* bits : {"00101", "0000101", "", "000000000101"}) {
        EXPECT_EQ(ParseParamText(bits, 6), std::nullopt) << "'" << bits << "'";
    }
}

// Pn 2's unlock code typed as its help text gives it: a decimal 32768 to 65535 beyond
// the maximum is the same 16-bit word when that word, read signed, is in range;
// otherwise it stays as typed (and the editor clamps it).
TEST(ParamValueFromText, SixteenBitWordsTypedUnsigned) {
    const struct {
        const char* text;
        int pn;
        int32_t minimum, maximum;
        std::optional<int32_t> value;
    } rows[] = {{"40613", 2, -32768, 32767, -24923},   {"32768", 2, -32768, 32767, -32768},
                {"65535", 2, -32768, 32767, -1},       {"65536", 2, -32768, 32767, 65536},
                {"65436", 36, -100, 100, -100},        {"65535", 22, 0, 5000, 65535},
                {"40613", 2, 0, 65535, 40613},         {"40613", 2, -24923, -24923, -24923},
                {"40613", 2, -30000, 40613, 40613},    {"65535", 2, -32768, -1, -1},
                {"x", 2, -32768, 32767, std::nullopt}, {"000101", 8, 0, 1, 5}};
    for (const auto& r : rows) {
        EXPECT_EQ(ParamValueFromText(r.text, r.pn, r.minimum, r.maximum), r.value) << r.text;
    }
}

}  // namespace
}  // namespace qx
