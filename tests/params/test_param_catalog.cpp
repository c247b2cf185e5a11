#include "params/ParamCatalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <set>
#include <string>
#include <vector>

namespace qx {
namespace {

constexpr uint32_t kSupported = 2003;
constexpr uint32_t kUnsupported = 2004;
constexpr std::string_view kRatedTorqueNote =
    "(2) Parameter value is the percentage of the rated torque, for example, if you want to "
    "set maximum torque to the 1 times of the rated torque, the parameter is 100.";

struct Text {
    std::string title = "untouched";
    std::string help = "stale help";
};

Text TextOf(int pn, uint32_t version = kSupported) {
    Text text;
    BuildParamText(pn, version, text.title, text.help);
    return text;
}

std::vector<std::string> SplitOn(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + separator.size();
    }
}

std::string Trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return "";
    }
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

// The help box is fixed-pitch, so columns are counted in characters, not bytes.
std::string ColumnMask(std::string_view line) {
    std::string mask;
    for (unsigned char c : line) {
        if ((c & 0xC0) != 0x80) {
            mask += c == '|' ? '|' : '.';
        }
    }
    return mask;
}

// A table is a run of lines whose first non-blank character is '-' or '|'.
std::vector<std::vector<std::string>> TablesIn(std::string_view help) {
    std::vector<std::vector<std::string>> tables;
    bool inTable = false;
    for (const std::string& line : SplitOn(help, "\r\n")) {
        const char lead = Trimmed(line).c_str()[0];
        const bool tableLine = lead == '-' || lead == '|';
        if (tableLine && !inTable) {
            tables.emplace_back();
        }
        if (tableLine) {
            tables.back().push_back(line);
        }
        inTable = tableLine;
    }
    return tables;
}

// Leading numbers of the indented list lines: the codes a selection parameter explains.
std::set<int> ListedCodes(std::string_view help) {
    std::set<int> codes;
    for (const std::string& line : SplitOn(help, "\r\n")) {
        const std::string body = Trimmed(line);
        if (line.starts_with(' ') && !body.empty() && body[0] >= '0' && body[0] <= '9') {
            codes.insert(std::stoi(body));
        }
    }
    return codes;
}

std::set<int> CodesUpTo(int last) {
    // A loop, not std::views::iota: clang 14 cannot use libstdc++ 12's iota_view.
    std::set<int> codes;
    for (int code = 0; code <= last; ++code) {
        codes.insert(code);
    }
    return codes;
}

TEST(ParamCatalog, DriveAddresses) {
    EXPECT_EQ(ParamWordAddress(0), 0x0200);
    EXPECT_EQ(ParamWordAddress(1), 0x0240);
    EXPECT_EQ(ParamWordAddress(183), 0x02F6);
    EXPECT_EQ(ParamMinimumAddress(0), 0x3F301Au);
    EXPECT_EQ(ParamMaximumAddress(1), 0x3F301Du);
    EXPECT_EQ(ParamMaximumAddress(183), 0x3F301Au + 367);
}

TEST(ParamCatalog, OnlyPn8To14AreBitFields) {
    const int widths[] = {6, 4, 6, 6, 4, 4, 3};
    for (int pn = -1; pn <= kHighestParamNumber + 1; ++pn) {
        const int expected = pn >= 8 && pn <= 14 ? widths[pn - 8] : 0;
        EXPECT_EQ(ParamBitWidth(pn), expected) << "Pn " << pn;
        EXPECT_EQ(ParamBitNames(pn).size(), static_cast<size_t>(expected)) << "Pn " << pn;
    }
    EXPECT_EQ(ParamBitNames(8).front(), "ServoEn");
    EXPECT_EQ(ParamBitNames(9).front(), "CLE/SC1/ZEROSPD");
    EXPECT_TRUE(std::ranges::equal(ParamBitNames(11), ParamBitNames(8)));
    EXPECT_TRUE(std::ranges::equal(ParamBitNames(12), ParamBitNames(9)));
    EXPECT_EQ(ParamBitNames(13).back(), "BRK");
    EXPECT_EQ(ParamBitNames(14).back(), "PhaseZ_O");
}

TEST(BuildParamText, TitlesAtTheEdgesOfEachFamily) {
    const std::pair<int, std::string_view> cases[] = {
        {0, "Software Version"},
        {24, "Internal brake resistor temperatur alarm"},
        {63, "Demo or P2P Mode Selection"},
        {64, "Torque Value in Torque Demo step 1"},
        {65, "Demo Time in Torque Demo Step 1"},
        {83, "Demo Time in Torque Demo Step 10"},
        {84, "Speed Value in Speed Demo step 1"},
        {103, "Demo Time in Speed Demo Step 10"},
        {104, "High part of Position 1"},
        {105, "Low part of Position 1"},
        {106, "Speed of position 1"},
        {108, "Maximum Torque of position 1"},
        {109, "High part of Position 2"},
        {182, "Accelaration of position 16"},
        {183, "Maximum Torque of position 16"},
    };
    for (const auto& [pn, title] : cases) {
        EXPECT_EQ(TextOf(pn).title, title) << "Pn " << pn;
    }
}

TEST(BuildParamText, GeneratedHelpCarriesTheStepOrPosition) {
    EXPECT_EQ(TextOf(64).help,
              "(1) Maximum torque in torque demo step 1.\r\n\r\n" + std::string(kRatedTorqueNote));
    EXPECT_EQ(TextOf(103).help,
              "(1) Demo lasting time in speed demo step 10, unit is S.\r\n\r\n"
              "(2) Demo programe runs from step 1 to 10, and loops forever.");
    EXPECT_EQ(TextOf(110).help,
              "(1) The actual value of position 2 is: \r\n  high part x 10000 + low part\r\n\r\n"
              "(2) The unit is pulse.");
    for (int pn = 107; pn <= kHighestParamNumber; pn += 5) {
        const std::string help = TextOf(pn).help;
        const std::string position = std::to_string((pn - 104) / 5 + 1);
        EXPECT_TRUE(help.starts_with("(1) The accelarattion of motor in Position " + position))
            << "Pn " << pn;
        EXPECT_TRUE(help.ends_with("\r\n\r\n(3) The unit is r/(s*s).")) << "Pn " << pn;
    }
}

TEST(BuildParamText, QuotedHelpTextsWordForWord) {
    EXPECT_EQ(TextOf(2).help,
              "(1) User Parameter Protection Code is used to prevent the parameters from being "
              "changed accidentally. The user parameters can be modified only when User "
              "Parameter Protection Code set to 40613. \r\n\r\n(2) Suggest to change it to a "
              "value other than 40613 after adjusting parameters.");
    EXPECT_EQ(TextOf(22).help,
              "(1) Set torque overload value. The value is the percentage of rated torque, no "
              "matter what the direction is;\r\n\r\n(2) If the motor torque > Pn22 and lasting "
              "time > Pn23, the servo will report a alarm and stop the motor.");
    EXPECT_EQ(TextOf(41).help, "(1) Set the speed value in JOG control mode. Unit is r/min.");
}

TEST(BuildParamText, UnsupportedDriveGetsNoHelpFromPn58On) {
    EXPECT_EQ(TextOf(57, kUnsupported).title, "Position Pulse Feedback Mode");
    EXPECT_EQ(TextOf(57, kUnsupported).help, FixedParamHelp(57));
    for (int pn = kFirstVersionGatedParam; pn <= kHighestParamNumber; ++pn) {
        const Text gated = TextOf(pn, kUnsupported);
        EXPECT_EQ(gated.title, "untouched") << "Pn " << pn;
        EXPECT_EQ(gated.help, "") << "Pn " << pn;
    }
}

TEST(BuildParamText, EachCallReplacesTheWholeHelp) {
    std::string title;
    std::string help;
    BuildParamText(1, kSupported, title, help);
    BuildParamText(41, kSupported, title, help);
    EXPECT_EQ(help, FixedParamHelp(41));
    BuildParamText(182, kSupported, title, help);
    BuildParamText(64, kSupported, title, help);
    EXPECT_EQ(help.find("(3)"), std::string::npos);
    for (int invalid : {-1, kHighestParamNumber + 1}) {
        EXPECT_EQ(TextOf(invalid).title, "untouched");
        EXPECT_EQ(TextOf(invalid).help, "");
    }
}

TEST(ParamHelp, EveryParamHasNumberedParagraphsWithCrLfBreaks) {
    for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
        SCOPED_TRACE("Pn " + std::to_string(pn));
        const Text text = TextOf(pn);
        EXPECT_FALSE(text.title.empty());
        EXPECT_EQ(text.title.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(text.help.find('\t'), std::string::npos) << "tabs break the columns";
        std::string withoutBreaks = text.help;
        for (size_t at; (at = withoutBreaks.find("\r\n")) != std::string::npos;) {
            withoutBreaks.erase(at, 2);
        }
        EXPECT_EQ(withoutBreaks.find_first_of("\r\n"), std::string::npos) << "bare CR or LF";
        const std::vector<std::string> paragraphs = SplitOn(text.help, "\r\n\r\n");
        for (size_t k = 0; k < paragraphs.size(); ++k) {
            EXPECT_TRUE(paragraphs[k].starts_with("(" + std::to_string(k + 1) + ") "))
                << paragraphs[k];
        }
    }
}

TEST(ParamHelp, SelectionParametersExplainEveryCode) {
    EXPECT_EQ(ListedCodes(FixedParamHelp(1)), CodesUpTo(21));
    EXPECT_EQ(ListedCodes(FixedParamHelp(3)), CodesUpTo(18));
    EXPECT_EQ(ListedCodes(FixedParamHelp(4)), CodesUpTo(6));
    EXPECT_EQ(ListedCodes(FixedParamHelp(52)), CodesUpTo(3));
    EXPECT_EQ(ListedCodes(FixedParamHelp(58)), CodesUpTo(1));
    EXPECT_EQ(ListedCodes(FixedParamHelp(63)), CodesUpTo(3));
    EXPECT_NE(FixedParamHelp(63).find("8 x CCWTLtd + 4 x CWTLtd + 2 x SC1 + SC2 + 1"),
              std::string_view::npos);
    EXPECT_NE(FixedParamHelp(57).find("33 means 1:1"), std::string_view::npos);
}

// The drive supplies the ranges, and the help states only what the drive is known to do.
TEST(ParamHelp, NoRangeOfTheDriveAndNoRuleBeyondWhatIsKnown) {
    const struct {
        int pn;
        const char* claim;
    } withdrawn[] = {
        {10, "matching"},  // matching writes the motor data words only
        {30, "65535"},     // beyond any word the editor takes
        {32, "1000"},      {33, "1000"},      {62, "9999"},        {3, "9999"},
        {57, "not above"}, {57, "must be 0"}, {4, "servo is off"}, {1, "Motor menu"},
        {42, "Keep it"},   {56, "Keep it"},   {5, "typically"},    {6, "typically"},
        {7, "Typical"},    {11, "Caution"},   {13, "Caution"},     {27, "lower of"},
        {28, "lower of"},
    };
    for (const auto& w : withdrawn) {
        EXPECT_EQ(FixedParamHelp(w.pn).find(w.claim), std::string_view::npos)
            << "Pn " << w.pn << ": " << w.claim;
    }
}

TEST(ParamHelp, TablesKeepTheirColumns) {
    for (int pn = 0; pn <= kHighestFixedTextParam; ++pn) {
        SCOPED_TRACE("Pn " + std::to_string(pn));
        for (const std::vector<std::string>& table : TablesIn(FixedParamHelp(pn))) {
            std::vector<std::string> rowMasks;
            for (const std::string& line : table) {
                const std::string mask = ColumnMask(line);
                EXPECT_EQ(mask.size(), ColumnMask(table.front()).size()) << line;
                if (mask.find('|') != std::string::npos) {
                    rowMasks.push_back(mask);
                }
            }
            EXPECT_EQ(std::ranges::count(rowMasks, rowMasks.front()), std::ssize(rowMasks));
        }
    }
}

TEST(ParamHelp, BitTablesNameEachBitUnderItsNumber) {
    for (int pn = 8; pn <= 14; ++pn) {
        SCOPED_TRACE("Pn " + std::to_string(pn));
        const auto tables = TablesIn(FixedParamHelp(pn));
        ASSERT_EQ(tables.size(), 1u);
        std::vector<std::vector<std::string>> rows;
        for (const std::string& line : tables[0]) {
            if (Trimmed(line)[0] == '|') {
                std::vector<std::string> cells = SplitOn(Trimmed(line), "|");
                std::ranges::transform(cells, cells.begin(), Trimmed);
                rows.emplace_back(cells.begin() + 1, cells.end() - 1);
            }
        }
        std::vector<std::string> numbers;
        for (int bit = ParamBitWidth(pn) - 1; bit >= 0; --bit) {
            numbers.push_back("Bit " + std::to_string(bit));
        }
        const std::vector<std::string> names(ParamBitNames(pn).begin(), ParamBitNames(pn).end());
        EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{numbers, names}));
    }
}

}  // namespace
}  // namespace qx
