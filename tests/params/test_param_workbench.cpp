// The parameter workbench's core: the filter, comparing values, the writes of the
// Parameter Table with their log, and a parameter file edited without a drive.

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

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

TEST(ParamSheet, FilterByNumberWordsAndBitNames) {
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"22", {22}},
        {"Pn41", {41}},
        {"software", {0}},
        {"jog", {4, 41}},              // a title and a help text
        {"quadrature", {52}},          // a help text only
        {"CCWDIS", {8, 11, 58}},       // a bit of Pn 8 and 11, a switch of Pn 58, any case
        {"PhaseZ_O", {14}},            // a bit name with "_"
        {"brake", {5, 6, 7, 13, 24}},  // the start of a word...
        {"rake", {}},                  // ...not its middle
        {"brake, 6", {6}},             // every term must match
        {"r/min\tjog", {41}},          // a piece with a "/" anywhere in the text
        {"99999", {}}};
    ParamSheet sheet(913);
    for (const auto& [filter, rows] : cases) {
        sheet.setFilter(filter);
        EXPECT_EQ(sheet.rows(), rows) << filter;
    }
    sheet.setFilter(" ");
    EXPECT_EQ(sheet.rows().size(), 184u);
    EXPECT_TRUE(ParamFilter("AZ").matches(0, SearchTextOf("az", "")) &&
                ParamFilter("az").matches(0, SearchTextOf("", "AZ")));
    // A word starts after any character but a letter, a digit or "_".
    for (const char c : std::string("/:@[`{azAZ09_")) {
        EXPECT_EQ(ParamFilter("bar").matches(0, std::string("x") + c + "bar"),
                  std::string("/:@[`{").find(c) != std::string::npos)
            << c;
    }
}

// Words, not values: the cache's sign-extended -1 is the file's 0xFFFF; the motor data
// word 0x0210 and the word past Pn 183 are no parameters.
TEST(ParamSheet, ComparesWordForWord) {
    ParamImage file{};
    for (const auto& [pn, word] : {std::pair{8, 12}, {22, 0x16}, {36, 0xFFFF}, {41, 300}}) {
        SetParamWordInImage(file, pn, static_cast<uint16_t>(word));
    }
    file[32] = 0x12;
    file[494] = 0x34;
    ParamValues cached{};
    cached[22] = 0x10016;
    cached[36] = -1;
    cached[41] = 120;
    EXPECT_EQ(DifferingParams(cached, ParamValuesOfImage(file)), (std::vector<int>{8, 41}));
    ParamSheet sheet(913);
    sheet.setValues(cached);
    sheet.compareWith(ParamValuesOfImage(file), "b.par");
    sheet.setDifferingOnly(true);
    EXPECT_EQ(sheet.rows(), (std::vector<int>{8, 41}));
    EXPECT_EQ(sheet.differingCount(), 2u);
    EXPECT_EQ(sheet.cell(8, ParamColumn::Value) + " " + sheet.cell(8, ParamColumn::Compared),
              "000000 001100");
    EXPECT_EQ(sheet.columns().size(), 4u) << "no range columns for a file";
    sheet.setRanges(cached, ParamValuesOfImage(file));
    EXPECT_EQ(sheet.columns()[4], ParamColumn::Maximum);
    EXPECT_EQ(sheet.cell(41, ParamColumn::Minimum) + "/" + sheet.cell(41, ParamColumn::Maximum),
              "120/300");
    sheet.setValues(ParamValuesOfImage(file));
    EXPECT_TRUE(sheet.rows().empty()) << "the written values no longer differ";
}

// Nothing refused changes anything; words typed and saved change exactly those words;
// a file that cannot be read leaves the document as it was.
TEST(ParamFileDocument, OfflineEditChangesExactlyTheWordsTyped) {
    const std::string path = ::testing::TempDir() + "qx-offline-edit.par";
    ParamImage original{};
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = static_cast<uint8_t>(i * 7);
    }
    ASSERT_EQ(WriteParamFile(path, original), std::nullopt);
    ParamFileDocument document;
    ASSERT_EQ(document.open(path), std::nullopt);
    EXPECT_EQ(document.softwareVersion(), 7u) << "bytes 0 and 1 of the file";
    const std::tuple<int, const char*, std::optional<std::string>> refused[] = {
        {41, "65536", kNotAWordText}, {41, "-32769", kNotAWordText},
        {41, "x", kInvalidInputText}, {8, "00110", kInvalidInputText},
        {41, "", std::nullopt},       {41, "-", std::nullopt},
        {184, "1", std::nullopt},     {-1, "1", std::nullopt}};
    for (const auto& [pn, text, message] : refused) {
        EXPECT_EQ(document.setValueText(pn, text), message) << pn << " " << text;
    }
    EXPECT_FALSE(document.modified());
    for (const auto& [pn, text] :
         {std::pair{41, "40613"}, {36, "-32768"}, {37, "65535"}, {8, "001100"}}) {
        EXPECT_EQ(document.setValueText(pn, text), std::nullopt) << text;
    }
    EXPECT_TRUE(document.modified());
    ASSERT_EQ(document.saveAs(path), std::nullopt);
    EXPECT_FALSE(document.modified());
    ParamImage expected = original;
    for (const auto& [pn, word] : {std::pair{41, 40613}, {36, 0x8000}, {37, 0xFFFF}, {8, 12}}) {
        SetParamWordInImage(expected, pn, static_cast<uint16_t>(word));
    }
    std::filesystem::resize_file(path, 1023);
    EXPECT_NE(document.open(path), std::nullopt);
    EXPECT_EQ(document.image(), expected);
    std::filesystem::remove(path);
}

// The Parameter Table's writes on a loaded table, each a single parameter write as "Set"
// makes it (sub-command 0x15, word address, word), logged at the instants 100, 101, ...
// Typed values are read and clamped; reverts go newest first, so that several changes of
// one Pn end at the oldest value; file values write Pn 2 last (a protected drive's code
// would refuse every write after it); the first failure (a write tried for 3 s) ends the
// writes with its one message, is not logged and leaves the drive counted as not connected.
TEST(ParamTableWrites, TypedRevertedAndFileValuesAndTheFirstFailure) {
    ParamSimLink sim;
    ParamChangeLog& log = sim.state.parameterTable.changeLog;
    UserParamTable& table = sim.state.userParamTable;
    const ParamWriteTarget target{sim.link, table, log, sim.messages};
    struct : ParamLoadProgress {
        void post(ParamLoadStage, int) override {}
    } quiet;
    ASSERT_EQ(LoadParamTableInline(sim.link, sim.state, quiet), kParamLoadLoaded);
    int64_t now = 100;
    log.setTimeSource([&now]() { return now++; });
    sim.drive->clearRequestLog();
    using Writes = std::vector<std::tuple<int, int, int>>;
    const std::tuple<int, const char*, uint32_t> typed[] = {
        {22, "70000", kStatusOk},  // Pn 22: 0 to 300
        {22, "300", kStatusOk},    // unchanged: nothing sent
        {22, "", kStatusOk},      {36, "-", kStatusOk},    {8, "001", ParamEditor::kSetRefused},
        {8, "001100", kStatusOk}, {36, "-6000", kStatusOk}};
    for (const auto& [pn, text, status] : typed) {
        EXPECT_EQ(WriteTypedParam(target, pn, text), status) << pn << " " << text;
    }
    EXPECT_EQ(sim.subRequests(),
              (Writes{{0x15, 0x0255, 300}, {0x15, 0x0247, 12}, {0x15, 0x0263, 0xEC78}}));
    EXPECT_EQ(sim.messages.texts(), std::vector<std::string>{"Invalid input value!"});
    EXPECT_EQ(log.entries(), (std::vector<ParamChange>{
                                 {100, 22, 120, 300}, {101, 8, 0, 12}, {102, 36, 100, -5000}}));
    EXPECT_EQ(table.value[22], 300);

    for (const auto& [pn, text] : {std::pair{41, "300"}, {41, "400"}, {37, "800"}}) {
        WriteTypedParam(target, pn, text);
    }
    sim.drive->clearRequestLog();
    EXPECT_EQ(RevertChanges(target, {3, 4, 10}), kStatusOk);
    EXPECT_EQ(sim.subRequests(), (Writes{{0x15, 0x0268, 300}, {0x15, 0x0268, 120}}));
    EXPECT_EQ(sim.word(0x0264), 800) << "Pn 37 was not chosen";
    EXPECT_EQ(log.entries().back(), (ParamChange{107, 41, 300, 120})) << "a revert is a write";
    sim.drive->clearRequestLog();
    EXPECT_EQ(RevertChanges(target, {3}), kStatusOk);
    EXPECT_TRUE(sim.subRequests().empty()) << "Pn 41 already holds the old value";

    ParamValues file = ParamValuesOfTable(table);
    file[2] = 1234;
    file[3] = 4;
    file[5] = 200;
    file[41] = 9999;  // beyond the range: the maximum is written
    file[43] = 77;    // differs but not chosen
    EXPECT_EQ(WriteFileValues(target, file, {41, 2, 5, 30, 184, 3}), kStatusOk);
    EXPECT_EQ(
        sim.subRequests(),
        (Writes{
            {0x15, 0x0242, 4}, {0x15, 0x0244, 200}, {0x15, 0x0268, 5000}, {0x15, 0x0241, 1234}}));
    EXPECT_EQ(table.value[43], 10);
    EXPECT_EQ(log.entries().size(), 12u);

    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    const uint32_t start = sim.clock.tickMs();
    EXPECT_NE(RevertChanges(target, {1, 2}), kStatusOk);
    EXPECT_GE(sim.clock.elapsedMs(start), 3000u) << "a write is tried for 3 s";
    EXPECT_EQ(sim.state.link.driveConnected, 0u);
    file[5] = 300;
    file[6] = 60;
    EXPECT_NE(WriteFileValues(target, file, {5, 6}), kStatusOk);
    EXPECT_EQ(
        sim.messages.texts(),
        (std::vector<std::string>{"Invalid input value!", "Communication with the Servo Fails!",
                                  "Communication with the Servo Fails!"}));
    EXPECT_EQ(log.entries().size(), 12u) << "a failed write is not logged";
    EXPECT_EQ(table.value[5], 200);
}

// What a command that changed the drive's parameters behind the cache, or a new
// connection, makes of the cache and the log of two writes: loaded after, entries,
// writes after the EEPROM mark; the mark's summary.
TEST(ParamChangeLog, EventsTheEepromMarkAndItsSummary) {
    using O = CommandOutcome;
    using E = DriveParamEvent;
    const std::tuple<E, O, uint32_t, std::size_t, std::size_t> cases[] = {
        {E::NewConnection, O::Succeeded, 0, 0, 0}, {E::Download, O::Succeeded, 0, 2, 0},
        {E::Download, O::Failed, 0, 2, 2},         {E::Download, O::Cancelled, 1, 2, 2},
        {E::LoadDefault, O::Succeeded, 0, 2, 2},   {E::LoadDefault, O::Cancelled, 1, 2, 2},
        {E::LoadDefault, O::Failed, 0, 2, 2},      {E::SaveToEeprom, O::Succeeded, 1, 2, 0},
        {E::SaveToEeprom, O::Failed, 1, 2, 2}};
    for (const auto& [event, outcome, loaded, entries, unstored] : cases) {
        ParameterTableState tableState;
        tableState.parametersLoaded = 1;
        tableState.changeLog.record(41, 120, 300);
        tableState.changeLog.record(5, 100, 200);
        NoteDriveParamEvent(tableState, event, outcome);
        const auto at = std::to_string(int(event)) + " " + std::to_string(int(outcome));
        EXPECT_EQ(tableState.parametersLoaded, loaded) << at;
        EXPECT_EQ(tableState.changeLog.entries().size(), entries) << at;
        EXPECT_EQ(tableState.changeLog.unstoredCount(), unstored) << at;
    }
    // What switching the drive off would lose; a new list starts without the mark.
    ParamChangeLog log;
    EXPECT_EQ(ChangeLogSummary(log), "No parameter was written since the drive was connected.");
    log.record(41, 120, 300);
    log.markStoredInEeprom();
    EXPECT_EQ(ChangeLogSummary(log), "Every write is stored in the drive's EEPROM.");
    log.record(5, 100, 200);
    EXPECT_EQ(ChangeLogSummary(log),
              "1 write comes after the last \"Save to EEPROM\": switching the drive off would "
              "lose it.");
    EXPECT_GT(log.entries()[0].timeSecs, 1'700'000'000) << "the time of the system's clock";
    log.clear();
    log.record(7, 30, 40);
    EXPECT_EQ(log.unstoredCount(), 1u) << "the mark went with the entries";
}

}  // namespace
}  // namespace qx::test
