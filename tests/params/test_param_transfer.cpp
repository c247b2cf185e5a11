// Upload, download and EEPROM beyond their transcripts: what a failure stops, what the
// drive keeps, the parameter file's safety and the commands' failure messages.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
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

TEST(UploadParams, TheWholeImageOrNothingAfterTheFirstFailure) {
    ParamSimLink sim;
    for (uint16_t a = 0x0201; a < 0x0400; ++a) {
        sim.drive->write(a, static_cast<uint16_t>(a * 7));
    }
    ParamImage image{};
    ASSERT_EQ(UploadParams(sim.link, image), kStatusOk);
    EXPECT_EQ(image[0] << 8 | image[1], 913) << "the drive's software version first";
    for (uint16_t a = 0x0201; a < 0x0400; ++a) {
        ASSERT_EQ(image[2 * (a - 0x200)] << 8 | image[2 * (a - 0x200) + 1], uint16_t(a * 7)) << a;
    }

    sim.drive->addFault({sim::Fault::BadChecksum, 0xC1, 0x0091, 0x0278, 0, -1});
    sim.drive->clearRequestLog();
    image.fill(0xEE);
    EXPECT_EQ(UploadParams(sim.link, image), kStatusBadChecksum);
    EXPECT_EQ(SubCommands(*sim.drive).back(), std::make_pair(0x0091, 0x0278));
    EXPECT_EQ(image[239], (0x0277 * 7) & 0xFF) << "the reads before the failure";
    EXPECT_EQ(image[240], 0xEE) << "nothing of the failed read";
}

// A failed request ends the operation: nothing of what comes after it is sent.
TEST(DownloadAndEeprom, AFailureStopsTheRest) {
    enum Op { Download, Save, Defaults };
    const struct {
        Op op;
        int failingSub, failingAddress;  // -1: any
        std::pair<int, int> last;        // the last request sent
    } rows[] = {
        {Download, 0x0091, 0x0200, {0x0091, 0x0200}}, {Download, 0x0014, 0x0278, {0x0014, 0x0278}},
        {Download, 0x0015, -1, {0x0015, 0x0241}},     {Save, 0x0016, 0x0003, {0x0016, 0x0003}},
        {Save, 0x0015, -1, {0x0015, 0x0241}},         {Defaults, 0x0015, -1, {0x0015, 0x0241}}};
    for (const auto& r : rows) {
        ParamSimLink sim;
        sim.drive->addFault({sim::Fault::NoAck, 0xC1, r.failingSub, r.failingAddress, 0, -1});
        ParamImage image{};
        const uint32_t status = r.op == Download ? DownloadParams(sim.link, image)
                                : r.op == Save   ? SaveParamsToEeprom(sim.link)
                                                 : LoadDefaultParams(sim.link);
        EXPECT_EQ(status, kStatusNoAck) << r.failingSub;
        EXPECT_EQ(SubCommands(*sim.drive).back(), r.last) << r.failingSub;
    }
}

// Stored: 1234 in Pn 30. Then changed to 99 and locked; the defaults bring back 1234
// and unlock, the EEPROM holding the unlock code in Pn 2.
TEST(Eeprom, WhatTheDriveKeeps) {
    ParamSimLink sim;
    const uint16_t pn30 = ParamWordAddress(30);
    sim.drive->write(pn30, 1234);
    ASSERT_EQ(SaveParamsToEeprom(sim.link), kStatusOk);
    sim.drive->write(pn30, 99);
    sim.drive->write(0x0241, 1);
    ASSERT_EQ(LoadDefaultParams(sim.link), kStatusOk);
    EXPECT_EQ(sim.word(pn30), 1234);
    EXPECT_EQ(sim.word(0x0241), kUnlockCode);
}

TEST(ParamFile, WritesExactly1024BytesAndReadsThemBack) {
    TempDir dir;
    ParamImage image{};
    for (std::size_t k = 0; k < image.size(); ++k) {
        image[k] = static_cast<uint8_t>(k * 13);
    }
    const std::string path = dir.file("drive.par");
    ASSERT_EQ(WriteParamFile(path, image), std::nullopt);
    EXPECT_EQ(fs::file_size(path), 1024u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 1) << "no temporary file left";
    ParamImage back{};
    ASSERT_EQ(ReadParamFile(path, back), std::nullopt);
    EXPECT_EQ(back, image);
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
    EXPECT_EQ(WriteParamFile(dir.file("no/such.par"), image),
              "Cannot create the parameter file \"" + dir.file("no/such.par") +
                  "\": No such file or directory.");
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

struct CommandFixture : ::testing::Test {
    ParamSimLink sim;
    TempDir dir;
    ParamImage& image = sim.state.parameterImage;
    std::string lastPath;
    int asked = 0;

    PathChooser choose(std::optional<std::string> path) {
        return [this, path]() {
            ++asked;
            return path;
        };
    }
};

TEST_F(CommandFixture, UploadAsksForTheFileOnlyAfterTheDriveWasRead) {
    const auto upload = [&](const std::optional<std::string>& path) {
        return ParametersUploadCommand(sim.link, image, sim.messages, choose(path), lastPath);
    };
    EXPECT_EQ(upload(std::nullopt), CommandOutcome::Cancelled);
    EXPECT_EQ(image[1], 913 & 0xFF) << "the image keeps the uploaded words";
    EXPECT_EQ(upload(dir.file("none/up.par")), CommandOutcome::Failed);
    EXPECT_TRUE(fs::is_empty(dir.path));
    EXPECT_EQ(lastPath, dir.file("none/up.par"));
    EXPECT_EQ(upload(dir.file("up.par")), CommandOutcome::Succeeded);
    EXPECT_EQ(Contents(dir.file("up.par")).substr(0, 2), "\x03\x91");
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    EXPECT_EQ(upload(dir.file("x.par")), CommandOutcome::Failed);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Cannot create the parameter file \"" + dir.file("none/up.par") +
                                     "\": No such file or directory.",
                                 "Warning"},
                                {"Uploading Parameters Succeeds!", "Note"},
                                {"Parameters Upload Fails!", "Warning"}}));
}

TEST_F(CommandFixture, DownloadRefusesAFileOfAnotherSizeAndSendsNothing) {
    const std::string path = dir.file("bad.par");
    WriteBytes(path, std::string(1000, '\x22'));
    EXPECT_EQ(ParametersDownloadCommand(sim.link, image, sim.messages, choose(path), lastPath),
              CommandOutcome::Failed);
    EXPECT_TRUE(sim.drive->requestLog().empty());
    EXPECT_EQ(lastPath, path);
    ASSERT_EQ(sim.messages.boxes().size(), 1u);
    EXPECT_EQ(sim.messages.boxes()[0].title, "Warning");
    EXPECT_EQ(
        ParametersDownloadCommand(sim.link, image, sim.messages, choose(std::nullopt), lastPath),
        CommandOutcome::Cancelled);
    EXPECT_EQ(sim.messages.boxes().size(), 1u);
}

TEST_F(CommandFixture, FailureMessagesOfADriveThatDoesNotAnswer) {
    const std::string path = dir.file("down.par");
    WriteBytes(path, std::string(1024, '\0'));
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    EXPECT_EQ(ParametersDownloadCommand(sim.link, image, sim.messages, choose(path), lastPath),
              CommandOutcome::Failed);
    EXPECT_EQ(SaveToEepromCommand(sim.link, sim.messages), CommandOutcome::Failed);
    EXPECT_EQ(LoadDefaultCommand(sim.link, sim.messages), CommandOutcome::Failed);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Downloading Parameters Fails!", "Warning"},
                                {"Save to EEPROM Fails!", "Warning"},
                                {"Loading Default Parameters from EEPROM Fails!", "Warning"}}));
}

}  // namespace
}  // namespace qx::test
