// The parameters between drive and PC beyond the transcripts and the soak: the load's
// reports and stop, what a failure stops, the parameter file's safety, the commands' boxes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "params/ParamLoadWorker.h"
#include "params/ParamSettingCommand.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Post = std::pair<ParamLoadStage, int>;
using S = ParamLoadStage;

// Keeps every report and runs `onPost` after each. Read once the load has ended.
struct RecordingProgress final : ParamLoadProgress {
    void post(ParamLoadStage stage, int percent) override {
        posts.emplace_back(stage, percent);
        onPost();
    }
    std::size_t count(ParamLoadStage stage) const {
        return std::count_if(posts.begin(), posts.end(),
                             [&](const Post& p) { return p.first == stage; });
    }
    std::vector<Post> posts;
    std::function<void()> onPost = [] {};
};

// The reports' percentages and the dialog's stage texts; the word past Pn 183 is read
// with the last batch. (How many reports of each stage, and the last, are the soak's.)
TEST(GetPnRange, ReportsAndTheWordPastTheLastParameter) {
    ParamSimLink sim;
    ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
    sim.drive->write(ParamWordAddress(183) + 1, 0xFF9C);
    RecordingProgress progress;
    const std::atomic<bool> stop{false};
    ASSERT_EQ(GetPnRange(sim.link, sim.state.userParamTable, progress, stop), 1);
    std::vector<int> percents;
    for (const std::size_t k : {0, 1, 2, 91, 92, 93, 94, 115, 116}) {
        percents.push_back(progress.posts.at(k).second);
    }
    EXPECT_EQ(percents, (std::vector<int>{0, 1, 2, 80, 80, 80, 81, 100, 100}));
    EXPECT_EQ(progress.posts.size(), 117u);
    EXPECT_EQ(sim.state.userParamTable.value[184], -100);

    EXPECT_EQ(ReactToParamLoadPost(S::Ranges, 40).stageText, "Loading user parameters' range...");
    EXPECT_EQ(ReactToParamLoadPost(S::Values, 90).stageText, "Loading user parameters' value...");
}

// A stop, before the load or at pair 20, ends it with the failure report and nothing
// sent after it; a drive gone silent at pair 20 ends it with the same report.
TEST(GetPnRange, AStopOrASilentDriveEndsTheLoad) {
    for (const int end : {0, 1, 2}) {  // a stop first, a stop at pair 20, silence from it
        ParamSimLink sim;
        ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
        RecordingProgress progress;
        std::atomic<bool> stop{end == 0};
        std::size_t sent = 0;
        progress.onPost = [&]() {
            if (progress.count(S::Ranges) == 20 && sent == 0 && end != 0) {
                sent = sim.drive->requestLog().size();
                end == 1 ? stop.store(true) : sim.drive->goAwayFor(600'000'000);
            }
        };
        const uint32_t status = GetPnRange(sim.link, sim.state.userParamTable, progress, stop);
        EXPECT_EQ(std::tuple(status, progress.count(S::Ranges), progress.posts.back()),
                  std::tuple(0u, end == 0 ? 0u : 20u, Post(S::Failed, 0)));
        EXPECT_TRUE(end == 2 || sim.drive->requestLog().size() == sent);
    }
}

// "Parameters Setting..." after each result of its loading dialog, then once the table
// is loaded: the editor at once, without the loading dialog.
TEST(ParametersSettingCommand, EachResultOfTheLoadingDialog) {
    struct Dialogs final : ParamSettingDialogs {
        int runLoadingDialog() override {
            ++loads;
            return result;
        }
        void runEditor() override { ++editors; }
        int result = 0, loads = 0, editors = 0;
    };
    const std::pair<int, const char*> rows[] = {{1, nullptr},
                                                {241, "Quendrix Mismatch the servo!"},
                                                {242, "Please Serial Communication Channel First!"},
                                                {255, "Communication with Servo Fails!"},
                                                {2, nullptr}};
    for (const auto& [result, box] : rows) {
        ParameterTableState table;
        Dialogs dialogs;
        dialogs.result = result;
        RecordingMessageSink messages;
        EXPECT_EQ(ParametersSettingCommand(table, dialogs, messages), result == 1) << result;
        EXPECT_EQ(messages.texts(),
                  box ? std::vector<std::string>{box} : std::vector<std::string>{});
        table.parametersLoaded = 1;
        EXPECT_TRUE(ParametersSettingCommand(table, dialogs, messages));
        EXPECT_EQ(std::make_pair(dialogs.loads, dialogs.editors),
                  std::make_pair(1, result == 1 ? 2 : 1));
    }
}

TEST(ParamLoadWorker, RunsOnItsOwnThreadOneAtATime) {
    ParamSimLink sim;
    ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
    RecordingProgress progress;
    ParamLoadWorker worker;
    ASSERT_TRUE(worker.start(sim.link, sim.state.userParamTable, progress));
    EXPECT_FALSE(worker.start(sim.link, sim.state.userParamTable, progress));
    worker.join();
    EXPECT_EQ(progress.posts.back(), Post(S::Done, 100));
}

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
struct TempDir {
    fs::path path = fs::temp_directory_path() /
                    ("qx_params_" + std::to_string(::getpid()) + "_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A failed request ends the operation with its status: nothing after it is sent, and a
// failed upload read copies nothing. (Whole transfers are the transcripts' and the
// soak's.)
TEST(ParamTransfer, AFailureStopsTheRest) {
    enum Op { Upload, Download, Save, Defaults };
    using Row = std::tuple<Op, int, int, std::pair<int, int>>;  // failing sub, address; last
    const Row rows[] = {
        {Upload, 0x0091, 0x0278, {0x0091, 0x0278}},   {Download, 0x0091, 0x0200, {0x0091, 0x0200}},
        {Download, 0x0014, 0x0278, {0x0014, 0x0278}}, {Download, 0x0015, -1, {0x0015, 0x0241}},
        {Save, 0x0016, 0x0003, {0x0016, 0x0003}},     {Save, 0x0015, -1, {0x0015, 0x0241}},
        {Defaults, 0x0015, -1, {0x0015, 0x0241}}};
    for (const auto& [op, sub, address, last] : rows) {
        ParamSimLink sim;
        sim.drive->write(0x0277, 0x1234);
        sim.drive->addFault({sim::Fault::NoAck, 0xC1, sub, address, 0, -1});
        ParamImage image{};
        image.fill(0xEE);
        const uint32_t status = op == Upload     ? UploadParams(sim.link, image)
                                : op == Download ? DownloadParams(sim.link, image)
                                : op == Save     ? SaveParamsToEeprom(sim.link)
                                                 : LoadDefaultParams(sim.link);
        EXPECT_EQ(status, kStatusNoAck) << op << " " << sub;
        const auto [lastSub, lastAddress, word] = sim.subRequests().back();
        EXPECT_EQ(std::make_pair(lastSub, lastAddress), last) << op << " " << sub;
        if (op == Upload) {
            EXPECT_EQ(image[239] + 256 * image[240], 0xEE34) << "the reads before, not the failed";
        }
    }
}

// Anything but a regular file of 1024 bytes is refused and leaves the image; a FIFO,
// folder or device before it is opened, so nothing waits on it.
TEST(ParamFile, ReadingRefusesAllButAParameterFile) {
    TempDir dir;
    ::mkfifo(dir.file("fifo").c_str(), 0600);
    for (const std::size_t size : {1023, 1025}) {
        WriteBytes(dir.file(std::to_string(size)), std::string(size, '\x11'));
    }
    const std::string sized = ", but a parameter file holds exactly 1024 bytes.";
    const std::string kind = ", not a parameter file of exactly 1024 bytes.";
    const std::pair<std::string, std::string> rows[] = {
        {dir.file("1023"), " holds 1023 bytes" + sized},
        {dir.file("1025"), " holds 1025 bytes" + sized},
        {dir.file("fifo"), " is a FIFO" + kind},
        {dir.path.string(), " is a folder" + kind},
        {"/dev/zero", " is a device" + kind}};
    for (const auto& [path, says] : rows) {
        ParamImage image{};
        image.fill(0x5A);
        EXPECT_EQ(ReadParamFile(path, image),
                  "The file \"" + path + "\"" + says + " Nothing was sent to the servo.");
        EXPECT_EQ(std::count(image.begin(), image.end(), 0x5A), 1024) << path;
    }
    ParamImage image{};
    EXPECT_EQ(
        ReadParamFile(dir.file("none"), image),
        "Cannot open the parameter file \"" + dir.file("none") + "\": No such file or directory.");
}

// Where the written name leads: a link planted at the old temporary name, a link as the
// name (to a file of its own permissions), a device, a FIFO nobody reads.
TEST(ParamFile, WritingNeverFollowsOrReplacesWhatItShouldNot) {
    TempDir dir;
    ParamImage image{};
    image.fill(0x42);
    const std::string written(1024, '\x42');
    const std::string victim = dir.file("victim"), planted = dir.file("planted.par"),
                      link = dir.file("link.par"), own = dir.file("own.par"),
                      device = dir.file("full.par"), fifo = dir.file("fifo.par");
    WriteBytes(victim, "precious");
    fs::create_symlink(victim, planted + ".writing");
    WriteBytes(own, "old");
    fs::permissions(own, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("own.par", link);
    ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7));  // a copy of /dev/full, for root
    ::mkfifo(fifo.c_str(), 0600);
    EXPECT_EQ(WriteParamFile(planted, image), std::nullopt);
    EXPECT_EQ(WriteParamFile(link, image), std::nullopt);
    EXPECT_EQ(std::tuple(Contents(victim), Contents(planted), fs::is_symlink(link), Contents(own)),
              std::tuple("precious", written, true, written));
    EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const auto failure = [](const std::string& path, const std::string& reason) {
        return "Cannot write the parameter file \"" + path + "\": " + reason + ".";
    };
    if (fs::is_character_file(device)) {
        EXPECT_EQ(WriteParamFile(device, image), failure(device, "No space left on device"));
        EXPECT_TRUE(fs::is_character_file(device));
    }
    EXPECT_EQ(WriteParamFile(fifo, image), failure(fifo, "No such device or address"));
    EXPECT_EQ(WriteParamFile(dir.path.string(), image),
              failure(dir.path.string(), "Is a directory"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), fs::exists(device) ? 7 : 6)
        << "no temporary file left";
}

// A folder that takes no new names: its writable file is written in place, a new name
// is refused. Root may make names anywhere, so the writes run as an ordinary user.
TEST(ParamFile, AReadOnlyFolderTakesWritesInPlaceOnly) {
    TempDir dir;
    const std::string path = dir.file("in place.par");
    WriteBytes(path, "old");
    fs::permissions(path, fs::perms::all);
    fs::permissions(dir.path, fs::perms::all & ~fs::perms::owner_write & ~fs::perms::others_write);
    ParamImage image{};
    image.fill(0x24);
    const std::string fresh = dir.file("new.par");
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ordinary = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
        ::_exit(ordinary && !WriteParamFile(path, image) &&
                        WriteParamFile(fresh, image) ==
                            "Cannot create the parameter file \"" + fresh + "\": Permission denied."
                    ? 0
                    : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Contents(path), std::string(1024, '\x24'));
}

// A file the commands cannot use is their one box, and nothing is sent for it; a drive
// that does not answer gives each EEPROM command its failure box. (Upload and download
// against a drive that fails now and then are the soak's.)
TEST(ParamCommands, OutcomesAndBoxes) {
    ParamSimLink sim;
    TempDir dir;
    std::string last;
    const std::string none = dir.file("none/up.par"), bad = dir.file("bad.par");
    WriteBytes(bad, std::string(1000, '\x22'));
    const auto upload = [&](std::optional<std::string> path) {
        return ParametersUploadCommand(
            sim.link, sim.state.parameterImage, sim.messages, [path] { return path; }, last);
    };
    const auto download = [&](std::optional<std::string> path) {
        return ParametersDownloadCommand(
            sim.link, sim.state.parameterImage, sim.messages, [path] { return path; }, last);
    };
    using O = CommandOutcome;
    EXPECT_EQ(upload(std::nullopt), O::Cancelled);
    EXPECT_EQ(upload(none), O::Failed);
    sim.drive->clearRequestLog();
    EXPECT_EQ(download(std::nullopt), O::Cancelled);
    EXPECT_EQ(download(bad), O::Failed);
    EXPECT_TRUE(sim.drive->requestLog().empty());
    EXPECT_EQ(last, bad);
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    EXPECT_EQ(SaveToEepromCommand(sim.link, sim.messages), O::Failed);
    EXPECT_EQ(LoadDefaultCommand(sim.link, sim.messages), O::Failed);
    EXPECT_EQ(sim.messages.texts(),
              (std::vector<std::string>{
                  "Cannot create the parameter file \"" + none + "\": No such file or directory.",
                  "The file \"" + bad +
                      "\" holds 1000 bytes, but a parameter file holds exactly 1024 bytes. "
                      "Nothing was sent to the servo.",
                  "Save to EEPROM Fails!", "Loading Default Parameters from EEPROM Fails!"}));
    EXPECT_EQ(sim.messages.boxes()[3].title, "Warning");
}

}  // namespace
}  // namespace qx::test
