// The parameter editor and what it shows: the catalogue's titles and help texts and the
// text forms as tables of the drive's own examples; typing, leaving fields and spinning
// as one script of steps; what "Set" does to the cache and the log.

#include <gtest/gtest.h>

#include <tuple>

#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/ParamText.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

constexpr uint32_t kSupported = 2003;
constexpr uint32_t kUnsupported = 2004;

// Title and help as the editor gets them for a drive of a version: the title, and the
// help's beginning (whole where a family's paragraphs are joined); "untouched" is what
// the title held before, and the help held a stale text first.
TEST(BuildParamText, TitlesAndHelpsOfTheCatalogue) {
    using Row = std::tuple<int, uint32_t, const char*, const char*>;
    const Row rows[] = {
        {2, kSupported, "User Parameter Protection Code",
         "(1) User Parameter Protection Code is used to prevent the parameters from being "},
        {41, kUnsupported, "Speed in JOG Mode",
         "(1) Set the speed value in JOG control mode. Unit is r/min."},
        {58, kUnsupported, "untouched", ""},
        {63, kSupported, "Demo or P2P Mode Selection", "(1) "},
        {64, 4003, "Torque Value in Torque Demo step 1",
         "(1) Maximum torque in torque demo step 1.\r\n\r\n(2) Parameter value is the percentage "
         "of the rated torque, for example, if you want to set maximum torque to the 1 times of "
         "the rated torque, the parameter is 100."},
        {65, kSupported, "Demo Time in Torque Demo Step 1",
         "(1) Demo lasting time in torque demo step 1, the unit is s.\r\n\r\n(2) Demo programe "
         "runs from step 1 to 10, and loops forever."},
        {84, kSupported, "Speed Value in Speed Demo step 1",
         "(1) Speed value in speed demo step 1.\r\n\r\n(2) Speed unit is r/min."},
        {103, kSupported, "Demo Time in Speed Demo Step 10",
         "(1) Demo lasting time in speed demo step 10, unit is S.\r\n\r\n(2) Demo"},
        {104, kSupported, "High part of Position 1",
         "(1) The actual value of position 1 is: \r\n  high part x 10000 + low part\r\n\r\n"
         "(2) The unit is pulse."},
        {105, kSupported, "Low part of Position 1", "(1) The actual value of position 1 is: "},
        {106, kSupported, "Speed of position 1",
         "(1) The speed of Position 1.\r\n\r\n(2) Speed unit is r/min."},
        {108, kSupported, "Maximum Torque of position 1", "(1) The maximum torque in Position 1."},
        {182, kSupported, "Accelaration of position 16",
         "(1) The accelarattion of motor in Position 16.\r\n\r\n(2) The accelarattion and "
         "deceleration share the same value.\r\n\r\n(3) The unit is r/(s*s)."},
        {183, kSupported, "Maximum Torque of position 16", "(1) The maximum torque in Position 16"},
        {184, kSupported, "untouched", ""}};
    for (const auto& [pn, version, title, help] : rows) {
        std::string shownTitle = "untouched";
        std::string shownHelp = "stale help";
        BuildParamText(pn, version, shownTitle, shownHelp);
        EXPECT_EQ(shownTitle, title) << "Pn " << pn << " of " << version;
        EXPECT_EQ(shownHelp.substr(0, std::string_view(help).size()), help) << "Pn " << pn;
        EXPECT_EQ(shownHelp.empty(), *help == 0) << "Pn " << pn;
    }
}

// A help text states no range the drive supplies and no rule the drive is not known to
// follow.
TEST(ParamHelp, ClaimsThatMustNotComeBack) {
    const std::pair<int, const char*> withdrawn[] = {
        {10, "matching"},  {30, "65535"},       {32, "1000"},      {33, "1000"},
        {62, "9999"},      {3, "9999"},         {57, "not above"}, {57, "must be 0"},
        {1, "Motor menu"}, {4, "servo is off"}, {42, "Keep it"},   {56, "Keep it"},
        {5, "typically"},  {6, "typically"},    {7, "Typical"},    {11, "Caution"},
        {13, "Caution"},   {27, "lower of"},    {28, "lower of"}};
    for (const auto& [pn, claim] : withdrawn) {
        EXPECT_EQ(FixedParamHelp(pn).find(claim), std::string_view::npos) << pn << ": " << claim;
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
    // Typing waits for as many characters as bits ("1\u00e9" is two), a number for a digit.
    EXPECT_TRUE(ParamTextIncomplete("1\u00e9", 3) && ParamTextIncomplete("-", 0));
    EXPECT_FALSE(ParamTextIncomplete("1\u00e91", 3) || ParamTextIncomplete("-1", 0));
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

struct EditorFixture : ::testing::Test {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    ParamChangeLog log;
    ParamEditor editor{table, 913, sim.messages, &log};

    void SetUp() override {
        table.highestParamNumber = kHighestParamNumber;
        for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
            table.value[pn] = pn * 10;
            table.minimum[pn] = -50;
            table.maximum[pn] = 5000;
        }
        table.value[14] = 9;
        table.minimum[8] = 0;
        table.maximum[8] = 63;
        table.minimum[2] = -32768;
        table.maximum[2] = 32767;
        log.setTimeSource([] { return 7; });
        editor.open();
    }
};

// Each step (row by row, left to right), then the number and value texts shown and the
// "Invalid input value!" boxes so far. An empty field or a lone "-" waits until a digit
// follows or the field is left; so does a bit field shorter than its width.
TEST_F(EditorFixture, TypingLeavingAndSpinning) {
    enum Do { N, V, LeaveN, LeaveV, SpinN, SpinV };
    using Step = std::tuple<Do, const char*, const char*, const char*, std::size_t>;
    const Step steps[] = {{N, "184", "183", "1830", 0},    {N, "-5", "0", "0", 0},
                          {N, "22", "22", "220", 0},       {N, "", "", "220", 0},
                          {LeaveN, "", "0", "0", 0},       {N, "5", "5", "50", 0},
                          {N, "x", "x", "50", 1},          {N, "8", "8", "111111", 1},
                          {V, "000101", "8", "000101", 1}, {V, "0010111", "8", "0010111", 2},
                          {LeaveV, "", "8", "0010111", 2}, {V, "00101", "8", "00101", 2},
                          {LeaveV, "", "8", "00101", 3},   {V, "000011", "8", "000011", 3},
                          {SpinV, "-1", "8", "000100", 3}, {N, "14", "14", "111", 3},
                          {N, "30", "30", "300", 3},       {V, "9999", "30", "5000", 3},
                          {V, "-51", "30", "-50", 3},      {V, "", "30", "", 3},
                          {LeaveV, "", "30", "0", 3},      {V, "-", "30", "-", 3},
                          {LeaveV, "", "30", "0", 3},      {V, "4999", "30", "4999", 3},
                          {SpinV, "-1", "30", "5000", 3},  {V, "-49", "30", "-49", 3},
                          {SpinV, "1", "30", "-50", 3},    {N, "2", "2", "20", 3},
                          {V, "40613", "2", "-24923", 3},  {N, "0", "0", "0", 3},
                          {SpinN, "1", "0", "0", 3},       {SpinN, "-1", "1", "10", 3},
                          {N, "183", "183", "1830", 3},    {SpinN, "-1", "183", "1830", 3},
                          {SpinN, "1", "182", "1820", 3}};
    EXPECT_EQ(editor.title(), "Software Version");
    int step = 0;
    for (const auto& [what, typed, number, value, boxes] : steps) {
        const std::size_t before = sim.messages.boxes().size();
        bool accepted = true;
        if (what == N) {
            accepted = editor.numberTextChanged(typed);
        } else if (what == V) {
            accepted = editor.valueTextChanged(typed);
        } else if (what == LeaveN) {
            editor.numberFieldLeft();
        } else if (what == LeaveV) {
            accepted = editor.valueFieldLeft();
        } else if (what == SpinN) {
            editor.numberSpun(std::stoi(typed));
        } else {
            editor.valueSpun(std::stoi(typed));
        }
        const auto at = "step " + std::to_string(step++) + " '" + typed + "'";
        EXPECT_EQ(editor.numberText(), number) << at;
        EXPECT_EQ(editor.valueText(), value) << at;
        EXPECT_EQ(sim.messages.boxes().size(), boxes) << at;
        EXPECT_EQ(accepted, boxes == before) << at;
    }
    EXPECT_EQ(editor.title(), "Accelaration of position 16");
    EXPECT_EQ(sim.messages.texts().back(), "Invalid input value!");
    EXPECT_EQ(table.value[30], 300) << "typing never changes the cache";
}

// "Set" reads a waiting value text first: refused, nothing is sent.
TEST_F(EditorFixture, SetUpdatesTheCacheAndTheLogOrSendsNothing) {
    for (const auto& [pn, text] : {std::pair{"22", "70000"}, std::pair{"8", "0010"}}) {
        editor.numberTextChanged(pn);
        editor.valueTextChanged(text);
        sim.drive->clearRequestLog();
        editor.set(sim.link);
    }
    EXPECT_TRUE(sim.drive->requestLog().empty());
    EXPECT_EQ(sim.messages.texts(), std::vector<std::string>{"Invalid input value!"});
    EXPECT_EQ(log.entries(), (std::vector<ParamChange>{{7, 22, 220, 5000}}));
    editor.open();
    editor.numberTextChanged("22");
    EXPECT_EQ(editor.valueText(), "5000") << "reopened on the written value";
}

}  // namespace
}  // namespace qx::test
