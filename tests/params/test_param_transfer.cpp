// The parameters between drive and PC, beyond the transcripts (load, upload, download,
// save, defaults) and the soak (what is stored or transferred, resumption after failed
// requests): the load's reports and ends, the loading dialog's reactions and the
// command's outcomes; what a failed transfer stops; the parameter file's safety; the file
// commands' boxes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
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

// Keeps every report; `onRanges` runs after the given number of range pairs. Read only
// once the load has ended.
struct RecordingProgress final : ParamLoadProgress {
    void post(ParamLoadStage stage, int percent) override {
        posts.emplace_back(stage, percent);
        if (stage == S::Ranges && ++pairs == actAfterPairs) {
            onRanges();
        }
    }
    std::size_t count(ParamLoadStage stage) const {
        return std::count_if(posts.begin(), posts.end(),
                             [&](const Post& p) { return p.first == stage; });
    }
    std::vector<Post> posts;
    std::size_t pairs = 0;
    std::size_t actAfterPairs = 0;
    std::function<void()> onRanges;
};

// The reports' percentages and what the dialog makes of them; the word past Pn 183 is
// read with the last batch.
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
    EXPECT_EQ(progress.count(S::Ranges), 92u);
    EXPECT_EQ(progress.posts.back().first, S::Done);
    EXPECT_EQ(sim.state.userParamTable.value[184], -100);

    const ParamLoadReaction ranges = ReactToParamLoadPost(S::Ranges, 40);
    const ParamLoadReaction values = ReactToParamLoadPost(S::Values, 90);
    EXPECT_EQ(std::tie(ranges.progress, ranges.stageText, ranges.endResult),
              std::make_tuple(40, "Loading user parameters' range...", std::nullopt));
    EXPECT_EQ(std::tie(values.progress, values.stageText, values.endResult),
              std::make_tuple(90, "Loading user parameters' value...", std::nullopt));
    const ParamLoadReaction done = ReactToParamLoadPost(S::Done, 100);
    const ParamLoadReaction failed = ReactToParamLoadPost(S::Failed, 0);
    EXPECT_EQ(std::tie(done.endResult, done.markLoaded, done.progress),
              std::make_tuple(1, true, std::nullopt));
    EXPECT_EQ(std::tie(failed.endResult, failed.markLoaded), std::make_tuple(255, false));
}

// A stop, before the load or at pair 20, ends it with the failure report and nothing
// sent after it. (Giving up on a silent drive is the soak's.)
TEST(GetPnRange, AStopEndsTheLoad) {
    for (const std::size_t stopAt : {0, 20}) {
        ParamSimLink sim;
        ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
        RecordingProgress progress;
        std::atomic<bool> stop{stopAt == 0};
        std::size_t sent = 0;
        progress.actAfterPairs = 20;
        progress.onRanges = [&]() {
            sent = sim.drive->requestLog().size();
            stop = true;
        };
        EXPECT_EQ(GetPnRange(sim.link, sim.state.userParamTable, progress, stop), 0);
        EXPECT_EQ(progress.count(S::Ranges), stopAt);
        EXPECT_EQ(progress.posts.back(), Post(S::Failed, 0));
        EXPECT_EQ(sim.drive->requestLog().size(), sent);
    }
}

// The command's two dialogs, run inline as the command line does.
struct InlineDialogs final : ParamSettingDialogs {
    explicit InlineDialogs(ParamSimLink& link) : sim(link) {}
    int runLoadingDialog() override {
        ++loads;
        RecordingProgress progress;
        return LoadParamTableInline(sim.link, sim.state, progress);
    }
    void runEditor() override { ++editors; }
    ParamSimLink& sim;
    int loads = 0;
    int editors = 0;
};

// A first command without a drive or with one of another version, then a second on the
// drive as it is: a load, then the editor at once without traffic. (A drive that stops
// answering is the soak's.)
TEST(ParametersSettingCommand, MessagesForEachFailureThenTheEditor) {
    for (const bool connected : {false, true}) {
        ParamSimLink sim(connected);
        sim.state.identity.softwareVersion = 915;
        InlineDialogs dialogs(sim);
        EXPECT_FALSE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(
            sim.messages.texts(),
            std::vector<std::string>{connected ? "Quendrix Mismatch the servo!"
                                               : "Please Serial Communication Channel First!"});
        EXPECT_EQ(sim.messages.boxes()[0].title, "Warning");
        ChooseComPort(sim.link, sim.state.identity, sim.messages, 1);
        EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 1u);
        sim.drive->clearRequestLog();
        EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(dialogs.loads, 2);
        EXPECT_EQ(dialogs.editors, 2);
        EXPECT_TRUE(sim.drive->requestLog().empty());
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
    ASSERT_EQ(progress.posts.size(), 117u);
    EXPECT_EQ(progress.posts.back().first, S::Done);
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

// The sub-commands that reached the drive, each as (sub-command, word address).
std::vector<std::pair<int, int>> SubCommands(const sim::SimDrive& drive) {
    std::vector<std::pair<int, int>> out;
    for (const Request& r : SubRequests(drive)) {
        out.emplace_back(r.payload[0] << 8 | r.payload[1], r.payload[2] << 8 | r.payload[3]);
    }
    return out;
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
        EXPECT_EQ(SubCommands(*sim.drive).back(), last) << op << " " << sub;
        if (op == Upload) {
            EXPECT_EQ(image[239] + 256 * image[240], 0xEE34) << "the reads before, not the failed";
        }
    }
}

// Anything but a regular file of 1024 bytes is refused and leaves the image; a FIFO,
// folder or device before it is opened, so nothing waits on it.
TEST(ParamFile, ReadingRefusesAllButAParameterFile) {
    TempDir dir;
    const std::string fifo = dir.file("a.fifo");
    ::mkfifo(fifo.c_str(), 0600);
    const auto size = [&](std::size_t bytes) {
        const std::string path = dir.file(std::to_string(bytes) + ".par");
        WriteBytes(path, std::string(bytes, '\x11'));
        return std::make_pair(path, "The file \"" + path + "\" holds " + std::to_string(bytes) +
                                        " bytes, but a parameter file holds exactly 1024 "
                                        "bytes. Nothing was sent to the servo.");
    };
    const auto kind = [](const std::string& path, const char* what) {
        return std::make_pair(path, "The file \"" + path + "\" is " + what +
                                        ", not a parameter file of exactly 1024 bytes. Nothing "
                                        "was sent to the servo.");
    };
    const std::pair<std::string, std::string> rows[] = {
        size(0),
        size(1023),
        size(1025),
        size(4096),
        kind(fifo, "a FIFO"),
        kind(dir.path.string(), "a folder"),
        kind("/dev/zero", "a device"),
        {dir.file("absent.par"), "Cannot open the parameter file \"" + dir.file("absent.par") +
                                     "\": No such file or directory."}};
    for (const auto& [path, message] : rows) {
        ParamImage image{};
        image.fill(0x5A);
        EXPECT_EQ(ReadParamFile(path, image), message);
        EXPECT_EQ(std::count(image.begin(), image.end(), 0x5A), 1024) << path;
    }
}

// Where the written name leads: a link planted at the old temporary name, a link as the
// name (to a file of its own permissions), a device, a FIFO with and without a reader.
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
    EXPECT_EQ(Contents(victim), "precious");
    EXPECT_EQ(Contents(planted), written);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Contents(own), written);
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
    std::string got;
    std::thread reader([&] { got = Contents(fifo); });
    while (WriteParamFile(fifo, image)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // until the reader is there
    }
    reader.join();
    EXPECT_EQ(got, written);
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
// that does not answer gives each its failure box. (Upload and download against a drive
// that fails now and then are the soak's.)
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
    EXPECT_EQ(sim.state.parameterImage[1], 913 & 0xFF) << "the image keeps the uploaded words";
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
