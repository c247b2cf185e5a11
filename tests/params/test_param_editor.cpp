// The parameter editor: typing, leaving fields and spinning as one script of steps, and
// what "Set" does to the cache, the log and a drive that is locked or silent.

#include <gtest/gtest.h>

#include "params/ParamCatalog.h"
#include "params/ParamEditor.h"
#include "params/WriteUserParam.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

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
        table.minimum[31] = INT32_MIN;
        table.maximum[31] = INT32_MAX;
        log.setTimeSource([] { return 7; });
        editor.open();
    }
};

// Each step, then the number and value texts shown and the "Invalid input value!" boxes
// so far. An empty field or a lone "-" waits until a digit follows or the field is
// left; so does a bit field shorter than its width.
TEST_F(EditorFixture, TypingLeavingAndSpinning) {
    enum Do { Number, Value, LeaveNumber, LeaveValue, SpinNumber, SpinValue };
    const struct {
        Do what;
        const char* text;
        int pn;
        const char* number;
        const char* value;
        std::size_t boxes;
    } steps[] = {{Number, "184", 183, "183", "1830", 0},
                 {Number, "-5", 0, "0", "0", 0},
                 {Number, "22", 22, "22", "220", 0},
                 {Number, "", 22, "", "220", 0},
                 {Value, "", 22, "", "", 0},
                 {LeaveNumber, "", 0, "0", "0", 0},
                 {Number, "22", 22, "22", "220", 0},
                 {Number, "-", 22, "-", "220", 0},
                 {LeaveNumber, "", 0, "0", "0", 0},
                 {Number, "5", 5, "5", "50", 0},
                 {Number, "x", 5, "x", "50", 1},
                 {Number, "123456789012", 5, "123456789012", "50", 2},
                 {Value, "61", 5, "123456789012", "61", 2},
                 {Number, "8", 8, "8", "111111", 2},
                 {Value, "000101", 8, "8", "000101", 2},
                 {Value, "0010111", 8, "8", "0010111", 3},
                 {LeaveValue, "", 8, "8", "0010111", 3},
                 {Value, "0a0101", 8, "8", "000101", 3},
                 {Value, "00101", 8, "8", "00101", 3},
                 {LeaveValue, "", 8, "8", "00101", 4},
                 {Value, "", 8, "8", "", 4},
                 {LeaveValue, "", 8, "8", "", 5},
                 {Value, "000011", 8, "8", "000011", 5},
                 {SpinValue, "-1", 8, "8", "000100", 5},
                 {Number, "14", 14, "14", "111", 5},  // 9 in 3 bits
                 {Number, "30", 30, "30", "300", 5},
                 {Value, "9999", 30, "30", "5000", 5},
                 {Value, "-51", 30, "30", "-50", 5},
                 {Value, "", 30, "30", "", 5},
                 {LeaveValue, "", 30, "30", "0", 5},
                 {Value, "-", 30, "30", "-", 5},
                 {LeaveValue, "", 30, "30", "0", 5},
                 {Value, "99999999999", 30, "30", "99999999999", 6},
                 {Value, "4999", 30, "30", "4999", 6},
                 {SpinValue, "-1", 30, "30", "5000", 6},
                 {SpinValue, "-1", 30, "30", "5000", 6},
                 {Value, "-49", 30, "30", "-49", 6},
                 {SpinValue, "1", 30, "30", "-50", 6},
                 {SpinValue, "1", 30, "30", "-50", 6},
                 {Number, "31", 31, "31", "310", 6},
                 {Value, "2147483647", 31, "31", "2147483647", 6},
                 {SpinValue, "-1", 31, "31", "2147483647", 6},
                 {Value, "-2147483648", 31, "31", "-2147483648", 6},
                 {SpinValue, "1", 31, "31", "-2147483648", 6},
                 {Number, "0", 0, "0", "0", 6},
                 {SpinNumber, "1", 0, "0", "0", 6},
                 {SpinNumber, "-1", 1, "1", "10", 6},
                 {Number, "183", 183, "183", "1830", 6},
                 {SpinNumber, "-1", 183, "183", "1830", 6},
                 {SpinNumber, "1", 182, "182", "1820", 6}};
    EXPECT_EQ(editor.title(), "Software Version");
    for (const auto& s : steps) {
        const std::string text = s.text;
        const std::size_t before = sim.messages.boxes().size();
        bool accepted = true;
        if (s.what == Number) {
            accepted = editor.numberTextChanged(text);
        } else if (s.what == Value) {
            accepted = editor.valueTextChanged(text);
        } else if (s.what == LeaveNumber) {
            editor.numberFieldLeft();
        } else if (s.what == LeaveValue) {
            accepted = editor.valueFieldLeft();
        } else if (s.what == SpinNumber) {
            editor.numberSpun(std::stoi(text));
        } else {
            editor.valueSpun(std::stoi(text));
        }
        const auto at = "step " + std::to_string(&s - steps) + " '" + text + "'";
        EXPECT_EQ(editor.pn(), s.pn) << at;
        EXPECT_EQ(editor.numberText(), s.number) << at;
        EXPECT_EQ(editor.valueText(), s.value) << at;
        EXPECT_EQ(sim.messages.boxes().size(), s.boxes) << at;
        EXPECT_EQ(accepted, s.boxes == before) << at;
    }
    EXPECT_EQ(editor.title(), "Accelaration of position 16");
    EXPECT_EQ(sim.messages.texts().back(), "Invalid input value!");
    EXPECT_EQ(table.value[30], 300) << "typing never changes the cache";
    EXPECT_TRUE(log.entries().empty());
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
    EXPECT_EQ(sim.word(ParamWordAddress(22)), 5000);
    EXPECT_EQ(log.entries(), (std::vector<ParamChange>{{7, 22, 220, 5000}}));
    editor.open();
    editor.numberTextChanged("22");
    EXPECT_EQ(editor.valueText(), "5000") << "reopened on the written value";
}

// The drive takes only Pn 2 until Pn 2 holds the unlock code, typed as the help text
// gives it: the word 40613, which the cache shows signed.
TEST(WriteUserParam, ALockedDriveTakesOnlyTheProtectionCode) {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    table.highestParamNumber = kHighestParamNumber;
    table.minimum.fill(-32768);
    table.maximum.fill(32767);
    ParamEditor editor(table, 913, sim.messages);
    editor.open();
    const struct {
        const char *pn, *value;
        uint32_t status;
    } steps[] = {{"2", "1234", kStatusOk},
                 {"5", "200", kStatusNoAck},
                 {"2", "40613", kStatusOk},
                 {"5", "300", kStatusOk}};
    for (const auto& s : steps) {
        editor.numberTextChanged(s.pn);
        editor.valueTextChanged(s.value);
        EXPECT_EQ(editor.set(sim.link), s.status) << s.pn << " " << s.value;
    }
    EXPECT_EQ(sim.word(0x0241), 40613);
    EXPECT_EQ(table.value[2], -24923);
    EXPECT_EQ(sim.word(0x0244), 300);
    EXPECT_EQ(table.value[5], 300);
    EXPECT_EQ(sim.messages.texts(),
              std::vector<std::string>{"Communication with the Servo Fails!"});
}

// A drive back within 3 s takes the write; one silent for good is given up after 3 s,
// reported and no longer counted as connected.
TEST(WriteUserParam, RetriedForThreeSecondsThenGivenUp) {
    for (const bool back : {true, false}) {
        ParamSimLink sim;
        back ? sim.drive->goAwayFor(2'000'000)
             : sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
        const uint32_t start = sim.clock.tickMs();
        EXPECT_EQ(WriteUserParam(sim.link, 183, -1, sim.messages) == kStatusOk, back);
        EXPECT_EQ(sim.word(0x02F6), back ? 0xFFFF : 200);
        EXPECT_EQ(sim.clock.elapsedMs(start) >= 3000, !back);
        EXPECT_EQ(sim.messages.boxes().size(), back ? 0u : 1u);
        EXPECT_EQ(sim.state.link.driveConnected, back ? 1u : 0u);
    }
}

}  // namespace
}  // namespace qx::test
