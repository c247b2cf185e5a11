// The parameter editor: typing, leaving fields and spinning as one script of steps, and
// what "Set" does to the cache, the log and a drive that is locked or silent.

#include <gtest/gtest.h>

#include <tuple>

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
        table.minimum[2] = -32768;
        table.maximum[2] = 32767;
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
    enum Do { N, V, LeaveN, LeaveV, SpinN, SpinV };
    using Step = std::tuple<Do, const char*, const char*, const char*, std::size_t>;
    const Step steps[] = {{N, "184", "183", "1830", 0},
                          {N, "-5", "0", "0", 0},
                          {N, "22", "22", "220", 0},
                          {N, "", "", "220", 0},
                          {V, "", "", "", 0},
                          {LeaveN, "", "0", "0", 0},
                          {N, "22", "22", "220", 0},
                          {N, "-", "-", "220", 0},
                          {LeaveN, "", "0", "0", 0},
                          {N, "5", "5", "50", 0},
                          {N, "x", "x", "50", 1},
                          {N, "123456789012", "123456789012", "50", 2},
                          {V, "61", "123456789012", "61", 2},
                          {N, "8", "8", "111111", 2},
                          {V, "000101", "8", "000101", 2},
                          {V, "0010111", "8", "0010111", 3},
                          {LeaveV, "", "8", "0010111", 3},
                          {V, "0a0101", "8", "000101", 3},
                          {V, "00101", "8", "00101", 3},
                          {LeaveV, "", "8", "00101", 4},
                          {V, "", "8", "", 4},
                          {LeaveV, "", "8", "", 5},
                          {V, "000011", "8", "000011", 5},
                          {SpinV, "-1", "8", "000100", 5},
                          {N, "14", "14", "111", 5},
                          {N, "30", "30", "300", 5},
                          {V, "9999", "30", "5000", 5},
                          {V, "-51", "30", "-50", 5},
                          {V, "", "30", "", 5},
                          {LeaveV, "", "30", "0", 5},
                          {V, "-", "30", "-", 5},
                          {LeaveV, "", "30", "0", 5},
                          {V, "99999999999", "30", "99999999999", 6},
                          {V, "4999", "30", "4999", 6},
                          {SpinV, "-1", "30", "5000", 6},
                          {SpinV, "-1", "30", "5000", 6},
                          {V, "-49", "30", "-49", 6},
                          {SpinV, "1", "30", "-50", 6},
                          {SpinV, "1", "30", "-50", 6},
                          {N, "31", "31", "310", 6},
                          {V, "2147483647", "31", "2147483647", 6},
                          {SpinV, "-1", "31", "2147483647", 6},
                          {V, "-2147483648", "31", "-2147483648", 6},
                          {SpinV, "1", "31", "-2147483648", 6},
                          {N, "2", "2", "20", 6},
                          {V, "40613", "2", "-24923", 6},
                          {N, "0", "0", "0", 6},
                          {SpinN, "1", "0", "0", 6},
                          {SpinN, "-1", "1", "10", 6},
                          {N, "183", "183", "1830", 6},
                          {SpinN, "-1", "183", "1830", 6},
                          {SpinN, "1", "182", "1820", 6}};
    EXPECT_EQ(editor.title(), "Software Version");
    int step = 0;
    for (const auto& [what, typed, number, value, boxes] : steps) {
        const std::string text = typed;
        const std::size_t before = sim.messages.boxes().size();
        bool accepted = true;
        if (what == N) {
            accepted = editor.numberTextChanged(text);
        } else if (what == V) {
            accepted = editor.valueTextChanged(text);
        } else if (what == LeaveN) {
            editor.numberFieldLeft();
        } else if (what == LeaveV) {
            accepted = editor.valueFieldLeft();
        } else if (what == SpinN) {
            editor.numberSpun(std::stoi(text));
        } else {
            editor.valueSpun(std::stoi(text));
        }
        const auto at = "step " + std::to_string(step++) + " '" + text + "'";
        EXPECT_EQ(editor.numberText(), number) << at;
        EXPECT_EQ(editor.valueText(), value) << at;
        EXPECT_EQ(sim.messages.boxes().size(), boxes) << at;
        EXPECT_EQ(accepted, boxes == before) << at;
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
