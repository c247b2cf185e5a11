// The editor's text forms, parsing, clamping and spins, and "Set" on the wire.

#include <gtest/gtest.h>

#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/ParamText.h"
#include "params/WriteUserParam.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
const Box kInvalid{"Invalid input value!", "Warning"};

TEST(FormatParamValue, DecimalAndBitFields) {
    EXPECT_EQ(FormatParamValue(7, 30), "30");
    EXPECT_EQ(FormatParamValue(36, -100), "-100");
    EXPECT_EQ(FormatParamValue(8, 5), "000101");
    EXPECT_EQ(FormatParamValue(9, 15), "1111");
    EXPECT_EQ(FormatParamValue(14, 9), "111") << "2^width or more shows all ones";
    EXPECT_EQ(FormatParamValue(14, 8), "111");
    EXPECT_EQ(FormatParamValue(13, -1), "0000") << "negative shows all zeros";
    EXPECT_EQ(FormatParamValue(15, 5), "5") << "Pn 15 is decimal again";
    EXPECT_EQ(FormatParamValue(7, 5), "5");
}

TEST(ParseParamText, Decimal) {
    EXPECT_EQ(ParseParamText("", 0), 0);
    EXPECT_EQ(ParseParamText("-", 0), 0);
    EXPECT_EQ(ParseParamText("0042", 0), 42);
    EXPECT_EQ(ParseParamText("-17", 0), -17);
    for (const char* bad : {"x", " 1", "1 ", "+1", "1.5", "--1", "1-", "0x10", "٣"}) {
        EXPECT_EQ(ParseParamText(bad, 0), std::nullopt) << bad;
    }
}

TEST(ParseParamText, TooLongOrBeyond32BitsIsRefused) {
    EXPECT_EQ(ParseParamText("2147483647", 0), 2147483647);
    EXPECT_EQ(ParseParamText("-2147483648", 0), INT32_MIN) << "11 characters still fit";
    EXPECT_EQ(ParseParamText("2147483648", 0), std::nullopt);
    EXPECT_EQ(ParseParamText("-2147483649", 0), std::nullopt);
    EXPECT_EQ(ParseParamText("99999999999", 0), std::nullopt);
    EXPECT_EQ(ParseParamText("000000000001", 0), std::nullopt) << "12 characters";
    EXPECT_EQ(ParseParamText("00000000001", 0), 1);
    EXPECT_EQ(ParseParamText("000000000101", 3), std::nullopt);
}

TEST(ParseParamText, BitFields) {
    EXPECT_EQ(ParseParamText("000101", 6), 5);
    EXPECT_EQ(ParseParamText("0a0101", 6), 5) << "any character but 1 is a clear bit";
    EXPECT_EQ(ParseParamText("00101", 6), std::nullopt);
    EXPECT_EQ(ParseParamText("0000101", 6), std::nullopt);
    EXPECT_EQ(ParseParamText("", 3), std::nullopt);
    EXPECT_EQ(ParseParamText("111", 3), 7);
    EXPECT_EQ(ParseParamText("1é1", 3), 5) << "characters, not bytes";
}

struct EditorFixture : ::testing::Test {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    ParamEditor editor{table, 913, sim.messages};

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
        editor.open();
    }
};

TEST_F(EditorFixture, OpensOnPn0) {
    EXPECT_EQ(editor.pn(), 0);
    EXPECT_EQ(editor.numberText(), "0");
    EXPECT_EQ(editor.valueText(), "0");
    EXPECT_EQ(editor.title(), "Software Version");
    EXPECT_FALSE(editor.help().empty());
}

TEST_F(EditorFixture, NumberTextIsClampedAndEmptyWaitsForTheFieldToBeLeft) {
    EXPECT_TRUE(editor.numberTextChanged("184"));
    EXPECT_EQ(editor.numberText(), "183");
    EXPECT_EQ(editor.title(), "Maximum Torque of position 16");
    EXPECT_EQ(editor.valueText(), "1830");
    EXPECT_TRUE(editor.numberTextChanged("-5"));
    EXPECT_EQ(editor.numberText(), "0");
    for (const char* waiting : {"", "-"}) {
        editor.numberTextChanged("22");
        EXPECT_TRUE(editor.numberTextChanged(waiting));
        EXPECT_EQ(editor.pn(), 22) << waiting;
        EXPECT_EQ(editor.numberText(), waiting);
        editor.numberFieldLeft();
        EXPECT_EQ(editor.pn(), 0) << "read as 0 once left";
        EXPECT_EQ(editor.numberText(), "0");
    }
    editor.numberFieldLeft();
    EXPECT_EQ(editor.numberText(), "0");
    EXPECT_TRUE(sim.messages.boxes().empty());
}

TEST_F(EditorFixture, ValueTextsThatCannotBeCompleteYetWait) {
    const struct {
        const char* pn;
        const char* text;
        std::string leftAs;  // after the field is left; empty: refused
    } cases[] = {
        {"30", "", "0"},    {"30", "-", "0"}, {"183", "-", "0"},
        {"8", "00101", ""}, {"8", "", ""},    {"14", "1", ""},
    };
    for (const auto& c : cases) {
        editor.numberTextChanged(c.pn);
        const int32_t before = editor.value();
        EXPECT_TRUE(editor.valueTextChanged(c.text)) << c.pn << " " << c.text;
        EXPECT_EQ(editor.valueText(), c.text);
        EXPECT_EQ(editor.value(), before);
        EXPECT_TRUE(sim.messages.boxes().empty());
        EXPECT_EQ(editor.valueFieldLeft(), !c.leftAs.empty());
        EXPECT_EQ(editor.valueText(), c.leftAs.empty() ? c.text : c.leftAs);
        EXPECT_EQ(sim.messages.boxes().size(), c.leftAs.empty() ? 1u : 0u);
        sim.messages.clear();
    }
    // "Set" reads a waiting text first: refused, nothing is sent.
    editor.numberTextChanged("8");
    editor.valueTextChanged("0010");
    sim.drive->clearRequestLog();
    EXPECT_EQ(editor.set(sim.link), ParamEditor::kSetRefused);
    EXPECT_EQ(sim.messages.boxes(), std::vector<Box>{kInvalid});
    EXPECT_TRUE(Requests(*sim.drive).empty());
}

TEST_F(EditorFixture, RefusedNumberKeepsPnAndValueAndTheTypedText) {
    editor.numberTextChanged("22");
    const std::string help = editor.help();
    EXPECT_FALSE(editor.numberTextChanged("x"));
    EXPECT_EQ(sim.messages.boxes(), std::vector<Box>{kInvalid});
    EXPECT_EQ(editor.pn(), 22);
    EXPECT_EQ(editor.value(), 220);
    EXPECT_EQ(editor.numberText(), "x");
    EXPECT_EQ(editor.help(), help);
    EXPECT_FALSE(editor.numberTextChanged("123456789012"));
    EXPECT_EQ(editor.pn(), 22);
}

TEST_F(EditorFixture, ValueTextIsParsedForThePnAndClamped) {
    editor.numberTextChanged("8");
    EXPECT_TRUE(editor.valueTextChanged("000101"));
    EXPECT_EQ(editor.value(), 5);
    EXPECT_FALSE(editor.valueTextChanged("0010111"));
    EXPECT_EQ(editor.value(), 5) << "a refused text keeps the last accepted value";
    EXPECT_EQ(editor.valueText(), "0010111");
    EXPECT_TRUE(editor.valueTextChanged("0a0101"));
    EXPECT_EQ(editor.valueText(), "000101");

    editor.numberTextChanged("30");
    EXPECT_TRUE(editor.valueTextChanged("9999"));
    EXPECT_EQ(editor.value(), 5000);
    EXPECT_EQ(editor.valueText(), "5000");
    EXPECT_TRUE(editor.valueTextChanged("-51"));
    EXPECT_EQ(editor.value(), -50);
    EXPECT_EQ(table.value[30], 300) << "typing never changes the cache";
    EXPECT_FALSE(editor.valueTextChanged("99999999999"));
}

// A decimal 32768 to 65535 beyond the maximum is the same 16-bit word when that word,
// read signed, is in range; otherwise it stays as typed (and the editor clamps it).
TEST(ParamValueFromText, SixteenBitWordsTypedUnsigned) {
    struct Case {
        const char* text;
        int pn;
        int32_t minimum, maximum, value;
    };
    const Case cases[] = {
        {"40613", 2, -32768, 32767, -24923}, {"32768", 2, -32768, 32767, -32768},
        {"65535", 2, -32768, 32767, -1},     {"65536", 2, -32768, 32767, 65536},
        {"65436", 36, -100, 100, -100},      {"65535", 22, 0, 5000, 65535},
        {"40613", 2, 0, 65535, 40613},       {"40613", 2, -24923, -24923, -24923},
        {"40613", 2, -30000, 40613, 40613},  {"65535", 2, -32768, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParamValueFromText(c.text, c.pn, c.minimum, c.maximum), c.value) << c.text;
    }
    EXPECT_EQ(ParamValueFromText("x", 2, -32768, 32767), std::nullopt);
    EXPECT_EQ(ParamValueFromText("000101", 8, 0, 1), 5) << "bit fields are not words";
}

TEST_F(EditorFixture, NumberSpinStopsAtBothEnds) {
    editor.numberSpun(+1);  // down arrow on Pn 0
    EXPECT_EQ(editor.pn(), 0);
    editor.numberSpun(-1);  // up arrow
    EXPECT_EQ(editor.pn(), 1);
    EXPECT_EQ(editor.valueText(), "10");
    editor.numberTextChanged("183");
    editor.numberSpun(-1);
    EXPECT_EQ(editor.pn(), 183);
    editor.numberSpun(+1);
    EXPECT_EQ(editor.pn(), 182);
    EXPECT_EQ(editor.title(), "Accelaration of position 16");
}

TEST_F(EditorFixture, ValueSpinStopsAtTheRange) {
    editor.numberTextChanged("30");
    editor.valueTextChanged("4999");
    editor.valueSpun(-1);
    EXPECT_EQ(editor.value(), 5000);
    editor.valueSpun(-1);
    EXPECT_EQ(editor.value(), 5000);
    editor.valueTextChanged("-49");
    editor.valueSpun(+1);
    EXPECT_EQ(editor.value(), -50);
    editor.valueSpun(+1);
    EXPECT_EQ(editor.value(), -50);

    editor.numberTextChanged("8");
    editor.valueTextChanged("000011");
    editor.valueSpun(-1);
    EXPECT_EQ(editor.valueText(), "000100") << "bit fields step by one";
}

TEST_F(EditorFixture, ValueSpinNearTheEndsOf32BitsDoesNotWrap) {
    table.minimum[30] = INT32_MIN;
    table.maximum[30] = INT32_MAX;
    editor.numberTextChanged("30");
    editor.valueTextChanged("2147483647");
    editor.valueSpun(-1);
    EXPECT_EQ(editor.value(), INT32_MAX);
    editor.valueTextChanged("-2147483648");
    editor.valueSpun(+1);
    EXPECT_EQ(editor.value(), INT32_MIN);
}

TEST_F(EditorFixture, SetWritesTheClampedValueAndUpdatesTheCache) {
    editor.numberTextChanged("22");
    editor.valueTextChanged("70000");
    ASSERT_EQ(editor.set(sim.link), kStatusOk);
    EXPECT_EQ(table.value[22], 5000);
    EXPECT_EQ(sim.word(0x023F + 22), 5000);
    const auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0].selector, 1);
    EXPECT_EQ(subs[0].payload, Bytes({0x00, 0x15, 0x02, 0x55, 0x00, 0x01, 0x13, 0x88}));
    EXPECT_TRUE(sim.messages.boxes().empty());

    // Reopening shows what was written.
    editor.open();
    editor.numberTextChanged("22");
    EXPECT_EQ(editor.valueText(), "5000");
}

TEST(WriteUserParam, AddressesAndNegativeWords) {
    ParamSimLink sim;
    struct Case {
        int pn;
        int32_t value;
        std::vector<uint8_t> payload;
    };
    const Case cases[] = {
        {0, 913, Bytes({0x00, 0x15, 0x02, 0x00, 0x00, 0x01, 0x03, 0x91})},
        {1, 3, Bytes({0x00, 0x15, 0x02, 0x40, 0x00, 0x01, 0x00, 0x03})},
        {183, -1, Bytes({0x00, 0x15, 0x02, 0xF6, 0x00, 0x01, 0xFF, 0xFF})},
        {36, 0x12345, Bytes({0x00, 0x15, 0x02, 0x63, 0x00, 0x01, 0x23, 0x45})},
    };
    for (const Case& c : cases) {
        sim.drive->clearRequestLog();
        EXPECT_EQ(WriteUserParam(sim.link, c.pn, c.value, sim.messages), kStatusOk) << c.pn;
        const auto all = Requests(*sim.drive);
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[0].command, 0xCF);
        EXPECT_EQ(all[1].command, 0xC0);
        EXPECT_EQ(all[2].selector, 1);
        EXPECT_EQ(all[2].payload, c.payload) << c.pn;
    }
    EXPECT_EQ(sim.word(0x02F6), 0xFFFF);
}

TEST(WriteUserParam, FailureAfterThreeSecondsIsReportedAndClearsTheConnection) {
    ParamSimLink sim;
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    const uint32_t start = sim.clock.tickMs();
    EXPECT_NE(WriteUserParam(sim.link, 5, 1, sim.messages), kStatusOk);
    EXPECT_GE(sim.clock.elapsedMs(start), kWriteParamLimitMs);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Communication with the Servo Fails!", "Warning"}}));
    EXPECT_EQ(sim.state.link.driveConnected, 0u);
}

TEST(WriteUserParam, ALockedDriveRefusesAllButTheProtectionCode) {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    table.highestParamNumber = kHighestParamNumber;
    table.minimum.fill(-32768);
    table.maximum.fill(32767);
    table.value[5] = 100;
    ParamEditor editor(table, 913, sim.messages);
    editor.open();

    editor.numberTextChanged("2");
    editor.valueTextChanged("1234");
    ASSERT_EQ(editor.set(sim.link), kStatusOk) << "Pn 2 stays writable";

    editor.numberTextChanged("5");
    editor.valueTextChanged("200");
    EXPECT_EQ(editor.set(sim.link), kStatusNoAck);
    EXPECT_EQ(sim.messages.texts(),
              std::vector<std::string>{"Communication with the Servo Fails!"});
    EXPECT_EQ(table.value[5], 100) << "a refused write leaves the cache alone";
    EXPECT_EQ(sim.word(0x0244), 100);

    // The unlock code typed as the help text gives it: the word 40613, which the table
    // shows as -24923.
    sim.messages.clear();
    editor.numberTextChanged("2");
    editor.valueTextChanged("40613");
    EXPECT_EQ(editor.valueText(), "-24923");
    ASSERT_EQ(editor.set(sim.link), kStatusOk);
    editor.numberTextChanged("5");
    editor.valueTextChanged("200");
    EXPECT_EQ(editor.set(sim.link), kStatusOk);
    EXPECT_EQ(sim.word(0x0244), 200);
    EXPECT_TRUE(sim.messages.boxes().empty());
}

}  // namespace
}  // namespace qx::test
