// The parameter catalogue and the editor's text forms, as tables of the drive's own
// examples: titles and help texts, formatting and parsing.

#include <gtest/gtest.h>

#include <tuple>

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

// Title and help as the editor gets them for a drive of a version; "untouched" is what
// the title held before, and the help held a stale text first. A null help is only
// checked to be a help.
TEST(BuildParamText, TitlesAndHelpsOfTheCatalogue) {
    using Row = std::tuple<int, uint32_t, const char*, const char*>;
    const Row rows[] = {
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
    for (const auto& [pn, version, title, help] : rows) {
        std::string shownTitle = "untouched";
        std::string shownHelp = "stale help";
        BuildParamText(pn, version, shownTitle, shownHelp);
        EXPECT_EQ(shownTitle, title) << "Pn " << pn << " of " << version;
        EXPECT_EQ(help ? shownHelp : shownHelp.substr(0, 4), help ? help : "(1) ") << "Pn " << pn;
    }
}

// A help text states no range the drive supplies and no rule the drive is not known to
// follow (absent), and does give what the drive documents (present).
TEST(ParamHelp, ClaimsWithdrawnAndClaimsKept) {
    const std::pair<int, const char*> withdrawn[] = {
        {10, "matching"},  {30, "65535"},       {32, "1000"},      {33, "1000"},
        {62, "9999"},      {3, "9999"},         {57, "not above"}, {57, "must be 0"},
        {1, "Motor menu"}, {4, "servo is off"}, {42, "Keep it"},   {56, "Keep it"},
        {5, "typically"},  {6, "typically"},    {7, "Typical"},    {11, "Caution"},
        {13, "Caution"},   {27, "lower of"},    {28, "lower of"}};
    for (const auto& [pn, claim] : withdrawn) {
        EXPECT_EQ(FixedParamHelp(pn).find(claim), std::string_view::npos) << pn << ": " << claim;
    }
    const std::pair<int, const char*> kept[] = {
        {57, "33 means 1:1"},
        {52, "quadrature"},
        {63, "8 x CCWTLtd + 4 x CWTLtd + 2 x SC1 + SC2 + 1"}};
    for (const auto& [pn, claim] : kept) {
        EXPECT_NE(FixedParamHelp(pn).find(claim), std::string_view::npos) << pn << ": " << claim;
    }
}

// Pn 8 to 14 are bit fields of 6, 4, 6, 6, 4, 4 and 3 bits, highest bit first.
TEST(FormatParamValue, DecimalAndBitFields) {
    using Row = std::tuple<int, int32_t, const char*>;
    const Row rows[] = {{7, 30, "30"},     {36, -100, "-100"}, {8, 5, "000101"}, {9, 15, "1111"},
                        {14, 9, "111"},    {14, 8, "111"},     {14, 4, "100"},   {14, 3, "011"},
                        {13, -1, "0000"},  {15, 5, "5"},       {12, 2, "0010"},  {10, 33, "100001"},
                        {11, 64, "111111"}};
    for (const auto& [pn, value, text] : rows) {
        EXPECT_EQ(FormatParamValue(pn, value), text) << pn << " " << value;
    }
}

// At most 11 characters count (code points, not bytes); a bit field takes any character
// but "1" as a clear bit.
TEST(ParseParamText, DecimalAndBitFields) {
    using Row = std::tuple<int, const char*, int32_t>;
    const Row accepted[] = {{0, "", 0},       {0, "-", 0},           {0, "0042", 42},
                            {0, "-17", -17},  {0, "00000000001", 1}, {6, "000101", 5},
                            {6, "0a0101", 5}, {3, "111", 7},         {3, "1\u00e91", 5}};
    for (const auto& [width, text, value] : accepted) {
        EXPECT_EQ(ParseParamText(text, width), value) << width << " '" << text << "'";
    }
    EXPECT_EQ(ParseParamText("2147483647", 0), INT32_MAX);
    EXPECT_EQ(ParseParamText("-2147483648", 0), INT32_MIN);
    for (const char* text : {"x", " 1", "1 ", "+1", "1.5", "--1", "1-", "0x10", "\u0663",
                             "2147483648", "-2147483649", "000000000001"}) {
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
    using Row = std::tuple<const char*, int, int32_t, int32_t, std::optional<int32_t>>;
    const Row rows[] = {{"40613", 2, -32768, 32767, -24923},   {"32768", 2, -32768, 32767, -32768},
                        {"65535", 2, -32768, 32767, -1},       {"65536", 2, -32768, 32767, 65536},
                        {"65436", 36, -100, 100, -100},        {"65535", 22, 0, 5000, 65535},
                        {"40613", 2, 0, 65535, 40613},         {"40613", 2, -24923, -24923, -24923},
                        {"40613", 2, -30000, 40613, 40613},    {"65535", 2, -32768, -1, -1},
                        {"x", 2, -32768, 32767, std::nullopt}, {"000101", 8, 0, 1, 5}};
    for (const auto& [text, pn, minimum, maximum, value] : rows) {
        EXPECT_EQ(ParamValueFromText(text, pn, minimum, maximum), value) << text;
    }
}

}  // namespace
}  // namespace qx
