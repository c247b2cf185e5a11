// The parameter workbench's core: the filter, comparing values, the writes of the
// Parameter Table with their log, and a parameter file edited without a drive.

#include <gtest/gtest.h>

#include <filesystem>

#include "params/ParamEditor.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "params/ParamFileDocument.h"
#include "params/ParamSettingCommand.h"
#include "params/ParamSheet.h"
#include "params/ParamTableWrites.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

class NoProgress final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage, int) override {}
};

TEST(ParamSheet, FilterByNumberWordsAndBitNames) {
    const struct {
        const char* filter;
        std::vector<int> rows;
    } cases[] = {
        {"22", {22}},
        {"Pn41", {41}},
        {"jog", {4, 41}},              // a title and a help text
        {"quadrature", {52}},          // a help text only
        {"CCWDis", {8, 11, 58}},       // a bit of Pn 8 and 11, a switch of Pn 58
        {"SERVOEN", {8, 11}},          // any case
        {"PhaseZ_O", {14}},            // a bit name with "_"
        {"brake", {5, 6, 7, 13, 24}},  // the start of a word...
        {"rake", {}},                  // ...not its middle
        {"verse", {}},                 // ("reversed")
        {"brake, 6", {6}},             // every term must match
        {"r/min jog", {41}},           // a piece with a "/" anywhere in the text
        {"999", {}},
    };
    ParamSheet sheet(913);
    EXPECT_EQ(sheet.rows().size(), 184u);
    for (const auto& c : cases) {
        sheet.setFilter(c.filter);
        EXPECT_EQ(sheet.rows(), c.rows) << c.filter;
    }
    sheet.setFilter(" ");
    EXPECT_EQ(sheet.rows().size(), 184u);
    for (const char c : std::string("/:@[`{")) {  // next to the word characters
        EXPECT_TRUE(ParamFilter("bar").matches(0, std::string("x") + c + "bar")) << c;
    }
}

TEST(ParamSheet, ComparesTwoFilesWordForWord) {
    ParamImage a{};
    SetParamWordInImage(a, 41, 120);
    SetParamWordInImage(a, 36, 0xFFFF);
    ParamImage b = a;
    SetParamWordInImage(b, 8, 12);
    SetParamWordInImage(b, 41, 300);
    b[32] = 0x12;   // word 0x0210, motor data: no parameter
    b[494] = 0x34;  // word 0x02F7, past Pn 183
    EXPECT_EQ(DifferingParams(ParamValuesOfImage(a), ParamValuesOfImage(b)),
              (std::vector<int>{8, 41}));

    ParamSheet sheet(913);
    ParamValues cached = ParamValuesOfImage(a);
    cached[36] = -1;  // the cache's sign-extended word is the same word
    sheet.setValues(cached);
    sheet.compareWith(ParamValuesOfImage(b), "b.par");
    EXPECT_EQ(sheet.columns().back(), ParamColumn::Compared);
    sheet.setDifferingOnly(true);
    EXPECT_EQ(sheet.rows(), (std::vector<int>{8, 41}));
    EXPECT_EQ(sheet.differingCount(), 2u);
    EXPECT_EQ(sheet.header(ParamColumn::Compared), "b.par");
    EXPECT_EQ(sheet.cell(8, ParamColumn::Value), "000000");
    EXPECT_EQ(sheet.cell(8, ParamColumn::Compared), "001100");
    EXPECT_EQ(sheet.cell(41, ParamColumn::Compared), "300");
    sheet.setFilter("jog");
    EXPECT_EQ(sheet.rows(), std::vector<int>{41});
    sheet.setValues(ParamValuesOfImage(b));
    EXPECT_TRUE(sheet.rows().empty()) << "the written values no longer differ";
    sheet.setRanges(cached, cached);
    EXPECT_EQ(sheet.columns(),
              (std::vector<ParamColumn>{ParamColumn::Pn, ParamColumn::Title, ParamColumn::Value,
                                        ParamColumn::Minimum, ParamColumn::Maximum,
                                        ParamColumn::Compared}));
}

TEST(ParamFileDocument, OfflineEditChangesExactlyOneWord) {
    const auto dir = std::filesystem::temp_directory_path() / "qx-offline-edit";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.par").string();
    ParamImage original{};
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(WriteParamFile(path, original), std::nullopt);

    ParamFileDocument document;
    ASSERT_EQ(document.open(path), std::nullopt);
    const struct {
        int pn;
        const char* text;
        std::optional<std::string> refused;
    } edits[] = {
        {41, "65536", kNotAWordText}, {41, "-32769", kNotAWordText},
        {41, "x", kInvalidInputText}, {8, "00110", kInvalidInputText},
        {41, "", std::nullopt},       {41, "-", std::nullopt},
        {184, "1", std::nullopt},
    };
    for (const auto& e : edits) {
        EXPECT_EQ(document.setValueText(e.pn, e.text), e.refused) << e.pn << " " << e.text;
    }
    EXPECT_FALSE(document.modified()) << "nothing was accepted";
    EXPECT_EQ(document.setValueText(41, "40613"), std::nullopt);
    EXPECT_TRUE(document.modified());
    ASSERT_EQ(document.saveAs(path), std::nullopt);
    EXPECT_FALSE(document.modified());

    ParamImage saved{};
    ASSERT_EQ(ReadParamFile(path, saved), std::nullopt);
    ParamImage expected = original;
    expected[208] = 0x9E;  // Pn 41, word 0x0268: 40613
    expected[209] = 0xA5;
    EXPECT_EQ(saved, expected);

    // Other words and bit fields: the file's word, and a refused file left alone.
    EXPECT_EQ(document.setValueText(8, "001100"), std::nullopt);
    EXPECT_EQ(document.setValueText(36, "-1"), std::nullopt);
    EXPECT_EQ(ParamWordInImage(document.image(), 8), 12);
    EXPECT_EQ(ParamWordInImage(document.image(), 36), 0xFFFF);
    std::filesystem::resize_file(path, 1023);
    EXPECT_NE(document.open(path), std::nullopt);
    EXPECT_EQ(ParamWordInImage(document.image(), 8), 12) << "nothing read from a short file";
    std::filesystem::remove_all(dir);
}

struct TableWrites : ::testing::Test {
    ParamSimLink sim;
    ParamChangeLog& log = sim.state.parameterTable.changeLog;
    UserParamTable& table = sim.state.userParamTable;
    ParamWriteTarget target{sim.link, table, log, sim.messages};
    int64_t now = 1'700'000'000;

    void SetUp() override {
        NoProgress quiet;
        ASSERT_EQ(LoadParamTableInline(sim.link, sim.state, quiet), kParamLoadLoaded);
        log.setTimeSource([this]() { return now++; });
        sim.drive->clearRequestLog();
    }

    std::vector<std::vector<uint8_t>> writes() const {
        std::vector<std::vector<uint8_t>> out;
        for (const Request& r : SubRequests(*sim.drive)) {
            out.push_back(r.payload);
        }
        return out;
    }
};

TEST_F(TableWrites, TypedValuesAreReadClampedAndWrittenAsSetWritesThem) {
    EXPECT_EQ(WriteTypedParam(target, 22, "70000"), kStatusOk);  // Pn 22: 0 to 300
    EXPECT_EQ(WriteTypedParam(target, 22, "300"), kStatusOk) << "unchanged: nothing sent";
    EXPECT_EQ(WriteTypedParam(target, 22, ""), kStatusOk);
    EXPECT_EQ(WriteTypedParam(target, 36, "-"), kStatusOk);
    EXPECT_EQ(WriteTypedParam(target, 8, "001"), ParamEditor::kSetRefused);
    EXPECT_EQ(WriteTypedParam(target, 8, "001100"), kStatusOk);
    EXPECT_EQ(writes(), (std::vector<std::vector<uint8_t>>{
                            Bytes({0x00, 0x15, 0x02, 0x55, 0x00, 0x01, 0x01, 0x2C}),
                            Bytes({0x00, 0x15, 0x02, 0x47, 0x00, 0x01, 0x00, 0x0C})}));
    EXPECT_EQ(sim.messages.texts(), std::vector<std::string>{"Invalid input value!"});
    EXPECT_EQ(log.entries(),
              (std::vector<ParamChange>{{1'700'000'000, 22, 120, 300}, {1'700'000'001, 8, 0, 12}}));
    EXPECT_EQ(table.value[22], 300);
}

TEST_F(TableWrites, RevertSendsTheOldValuesNewestFirst) {
    ASSERT_EQ(WriteTypedParam(target, 41, "300"), kStatusOk);
    ASSERT_EQ(WriteTypedParam(target, 41, "400"), kStatusOk);
    ASSERT_EQ(WriteTypedParam(target, 37, "800"), kStatusOk);
    sim.drive->clearRequestLog();
    EXPECT_EQ(RevertChanges(target, {0, 1, 7}), kStatusOk);
    EXPECT_EQ(writes(), (std::vector<std::vector<uint8_t>>{
                            Bytes({0x00, 0x15, 0x02, 0x68, 0x00, 0x01, 0x01, 0x2C}),
                            Bytes({0x00, 0x15, 0x02, 0x68, 0x00, 0x01, 0x00, 0x78})}));
    EXPECT_EQ(sim.word(0x0268), 120);
    EXPECT_EQ(sim.word(0x0264), 800) << "Pn 37 was not chosen";
    ASSERT_EQ(log.entries().size(), 5u) << "a revert is a write too";
    EXPECT_EQ(log.entries()[4], (ParamChange{log.entries()[4].timeSecs, 41, 300, 120}));

    sim.drive->clearRequestLog();
    EXPECT_EQ(RevertChanges(target, {0}), kStatusOk);
    EXPECT_TRUE(writes().empty()) << "Pn 41 already holds the old value";
}

TEST_F(TableWrites, FileValuesAreWrittenWithTheProtectionCodeLast) {
    ParamValues file = ParamValuesOfTable(table);
    file[2] = 1234;  // a protected drive's code: the drive takes nothing after it
    file[5] = 200;
    file[41] = 9999;  // beyond the range: the maximum is written
    file[43] = 77;    // differs but not chosen
    EXPECT_EQ(WriteFileValues(target, file, {41, 2, 5, 30}), kStatusOk);
    EXPECT_EQ(writes(), (std::vector<std::vector<uint8_t>>{
                            Bytes({0x00, 0x15, 0x02, 0x44, 0x00, 0x01, 0x00, 0xC8}),
                            Bytes({0x00, 0x15, 0x02, 0x68, 0x00, 0x01, 0x13, 0x88}),
                            Bytes({0x00, 0x15, 0x02, 0x41, 0x00, 0x01, 0x04, 0xD2})}));
    EXPECT_EQ(table.value[43], 10);
    EXPECT_EQ(log.entries().size(), 3u);
}

TEST_F(TableWrites, AFailedWriteIsNotLoggedAndStopsTheRest) {
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    ParamValues file = ParamValuesOfTable(table);
    file[5] = 200;
    file[6] = 60;
    EXPECT_NE(WriteFileValues(target, file, {5, 6}), kStatusOk);
    EXPECT_EQ(sim.messages.texts(),
              std::vector<std::string>{"Communication with the Servo Fails!"});
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(table.value[5], 100);
    EXPECT_EQ(table.value[6], 50);
}

TEST(ParamChangeLog, EventsMarkTheLogAndForgetTheCache) {
    using O = CommandOutcome;
    using E = DriveParamEvent;
    const struct {
        E event;
        O outcome;
        uint32_t loadedAfter;
        std::size_t entriesAfter;
        std::size_t unstoredAfter;
    } cases[] = {
        {E::NewConnection, O::Succeeded, 0, 0, 0}, {E::Download, O::Succeeded, 0, 2, 0},
        {E::Download, O::Failed, 0, 2, 2},         {E::Download, O::Cancelled, 1, 2, 2},
        {E::LoadDefault, O::Succeeded, 0, 2, 2},   {E::LoadDefault, O::Cancelled, 1, 2, 2},
        {E::SaveToEeprom, O::Succeeded, 1, 2, 0},  {E::SaveToEeprom, O::Failed, 1, 2, 2},
    };
    for (const auto& c : cases) {
        ParameterTableState tableState;
        tableState.parametersLoaded = 1;
        tableState.changeLog.record(41, 120, 300);
        tableState.changeLog.record(5, 100, 200);
        NoteDriveParamEvent(tableState, c.event, c.outcome);
        const int at = static_cast<int>(&c - cases);
        EXPECT_EQ(tableState.parametersLoaded, c.loadedAfter) << at;
        EXPECT_EQ(tableState.changeLog.entries().size(), c.entriesAfter) << at;
        EXPECT_EQ(tableState.changeLog.unstoredCount(), c.unstoredAfter) << at;
    }
}

TEST(ParamChangeLog, TheEepromMarkAndItsSummary) {
    ParamChangeLog log;
    EXPECT_EQ(ChangeLogSummary(log), "No parameter was written since the drive was connected.");
    log.record(41, 120, 300);
    log.markStoredInEeprom();
    EXPECT_EQ(ChangeLogSummary(log), "Every write is stored in the drive's EEPROM.");
    log.record(5, 100, 200);
    EXPECT_TRUE(log.storedInEeprom(0));
    EXPECT_FALSE(log.storedInEeprom(1));
    EXPECT_EQ(ChangeLogSummary(log),
              "1 write comes after the last \"Save to EEPROM\": switching the drive off would "
              "lose it.");
    log.clear();
    EXPECT_TRUE(log.entries().empty());
    log.record(7, 30, 40);
    EXPECT_FALSE(log.storedInEeprom(0)) << "the mark went with the entries";
}

}  // namespace
}  // namespace qx::test
