// Upload, download, EEPROM store and restore: the requests on the wire, what the
// simulated drive makes of them, the parameter file and the commands' messages.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "params/ParamTransfer.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
namespace fs = std::filesystem;

uint16_t ImageWord(const ParamImage& image, uint16_t address) {
    const std::size_t at = 2u * (address - 0x0200u);
    return static_cast<uint16_t>(image[at] << 8 | image[at + 1]);
}

void SetImageWord(ParamImage& image, uint16_t address, uint16_t value) {
    const std::size_t at = 2u * (address - 0x0200u);
    image[at] = static_cast<uint8_t>(value >> 8);
    image[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// A fresh directory per test, removed afterwards.
struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("qx_params_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
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

TEST(UploadParams, NineReadsOfTheWholeImage) {
    ParamSimLink sim;
    for (uint16_t a = 0x0201; a < 0x0400; ++a) {
        sim.drive->write(a, static_cast<uint16_t>(a * 7));
    }
    ParamImage image{};
    ASSERT_EQ(UploadParams(sim.link, image), kStatusOk);

    const auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 9u);
    const int addresses[] = {0x0200, 0x023C, 0x0278, 0x02B4, 0x02F0,
                             0x032C, 0x0368, 0x03A4, 0x03E0};
    for (int k = 0; k < 9; ++k) {
        EXPECT_EQ(subs[k].selector, k + 1);
        EXPECT_EQ(subs[k].payload, Bytes({0x00, 0x91, addresses[k] >> 8, addresses[k] & 0xFF, 0x00,
                                          k < 8 ? 0x3C : 0x20}));
    }
    EXPECT_EQ(ImageWord(image, 0x0200), 913) << "byte 0 is the version's high byte";
    EXPECT_EQ(image[0], 913 >> 8);
    for (uint16_t a = 0x0201; a < 0x0400; ++a) {
        ASSERT_EQ(ImageWord(image, a), static_cast<uint16_t>(a * 7)) << a;
    }
}

TEST(UploadParams, AFailedReadEndsTheUploadWithItsStatus) {
    ParamSimLink sim;
    sim.drive->addFault({sim::Fault::BadChecksum, 0xC1, 0x0091, 0x0278, 0, -1});
    ParamImage image{};
    EXPECT_EQ(UploadParams(sim.link, image), kStatusBadChecksum);
    const auto subs = SubRequests(*sim.drive);
    for (const Request& r : subs) {
        EXPECT_LE(r.selector, 3) << "nothing after the failed third read";
    }
}

TEST(DownloadParams, FourteenRequestsAndTheHeadWordsStayTheDrives) {
    ParamSimLink sim;
    ParamImage image{};
    for (uint16_t a = 0x0200; a < 0x0400; ++a) {
        SetImageWord(image, a, static_cast<uint16_t>(0x1000 + a));
    }
    SetImageWord(image, 0x0241, 0);  // the file carries a protection code that locks
    const std::vector<uint16_t> head = {sim.word(0x0200), sim.word(0x0201), sim.word(0x0202),
                                        sim.word(0x0203), sim.word(0x0204), sim.word(0x0205)};
    ASSERT_EQ(DownloadParams(sim.link, image), kStatusOk);

    const auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 14u);
    for (int k = 0; k < 14; ++k) {
        EXPECT_EQ(subs[k].selector, k + 1);
    }
    EXPECT_EQ(subs[0].payload, Bytes({0x00, 0x91, 0x02, 0x00, 0x00, 0x06}));
    for (int k = 0; k < 9; ++k) {
        const Request& w = subs[1 + k];
        const int address = 0x0200 + 60 * k;
        const int words = k < 8 ? 60 : 32;
        ASSERT_EQ(w.payload.size(), 6u + 2 * words);
        EXPECT_EQ(std::vector<uint8_t>(w.payload.begin(), w.payload.begin() + 6),
                  Bytes({0x00, 0x14, address >> 8, address & 0xFF, 0x00, words}));
        EXPECT_TRUE(std::equal(w.payload.begin() + 6, w.payload.end(), image.begin() + 120 * k));
    }
    EXPECT_EQ(subs[10].payload, Bytes({0x00, 0x15, 0x02, 0x41, 0x00, 0x01, 0x9E, 0xA5}));
    EXPECT_EQ(subs[11].payload, Bytes({0x00, 0x16, 0x00, 0x02}));
    EXPECT_EQ(subs[12].payload, Bytes({0x00, 0x16, 0x00, 0x03}));
    EXPECT_EQ(subs[13].payload, Bytes({0x00, 0x16, 0x00, 0x06}));

    for (uint16_t a = 0x0200; a < 0x0206; ++a) {
        EXPECT_EQ(sim.word(a), head[a - 0x0200]) << "head word " << a;
        EXPECT_EQ(ImageWord(image, a), head[a - 0x0200]) << "image took the drive's head";
    }
    for (uint16_t a = 0x0206; a < 0x0400; ++a) {
        if (a != 0x0241) {
            ASSERT_EQ(sim.word(a), static_cast<uint16_t>(0x1000 + a)) << a;
        }
    }
    EXPECT_EQ(sim.word(0x0241), kUnlockCode) << "the download ends unlocked";
}

TEST(DownloadParams, AFailedBlockStoresNothing) {
    ParamSimLink sim;
    sim.drive->addFault({sim::Fault::Silence, 0xC1, 0x0014, 0x0278, 0, -1});
    ParamImage image{};
    EXPECT_NE(DownloadParams(sim.link, image), kStatusOk);
    for (const Request& r : SubRequests(*sim.drive)) {
        EXPECT_NE(r.payload[1], 0x16) << "no store operation after a failed block";
    }
}

TEST(Eeprom, SaveAndRestoreSequencesAndWhatTheDriveKeeps) {
    ParamSimLink sim;
    ASSERT_EQ(SaveParamsToEeprom(sim.link), kStatusOk);
    auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 4u);
    EXPECT_EQ(subs[0].selector, 1);
    EXPECT_EQ(subs[0].payload, Bytes({0x00, 0x15, 0x02, 0x41, 0x00, 0x01, 0x9E, 0xA5}));
    EXPECT_EQ(subs[1].payload, Bytes({0x00, 0x16, 0x00, 0x02}));
    EXPECT_EQ(subs[2].payload, Bytes({0x00, 0x16, 0x00, 0x03}));
    EXPECT_EQ(subs[3].payload, Bytes({0x00, 0x16, 0x00, 0x06}));
    EXPECT_EQ(subs[3].selector, 4);

    // Stored: 1234 in Pn 30. Then changed to 99 and locked; the defaults bring back 1234
    // and unlock (the EEPROM holds the unlock code in Pn 2).
    const uint16_t pn30 = ParamWordAddress(30);
    sim.drive->write(pn30, 1234);
    ASSERT_EQ(SaveParamsToEeprom(sim.link), kStatusOk);
    sim.drive->write(pn30, 99);
    sim.drive->write(0x0241, 1);
    sim.drive->clearRequestLog();
    ASSERT_EQ(LoadDefaultParams(sim.link), kStatusOk);
    subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0].payload, Bytes({0x00, 0x15, 0x02, 0x41, 0x00, 0x01, 0x9E, 0xA5}));
    EXPECT_EQ(subs[1].payload, Bytes({0x00, 0x16, 0x00, 0x04}));
    EXPECT_EQ(subs[1].selector, 2);
    EXPECT_EQ(sim.word(pn30), 1234);
}

TEST(Eeprom, ALockedDriveRefusesStoringUntilUnlocked) {
    ParamSimLink sim;
    sim.drive->write(0x0241, 7);
    // A store operation alone, without the unlock the tool always sends first.
    Session session(sim.link);
    ASSERT_EQ(session.open(), kStatusOk);
    EXPECT_EQ(StoreOp(sim.link, session.next(), 2, 50), kStatusNoAck);
    // The tool's save unlocks first and so succeeds.
    EXPECT_EQ(SaveParamsToEeprom(sim.link), kStatusOk);
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

TEST(ParamFile, ShortOrLongFilesAreRefusedAndLeaveTheImage) {
    TempDir dir;
    ParamImage image{};
    image.fill(0x5A);
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1023}, std::size_t{1025}, std::size_t{4096}}) {
        const std::string path = dir.file("f" + std::to_string(size) + ".par");
        WriteBytes(path, std::string(size, '\x11'));
        const auto error = ReadParamFile(path, image);
        ASSERT_TRUE(error.has_value()) << size;
        EXPECT_NE(error->find("holds " + std::to_string(size) + " bytes"), std::string::npos)
            << *error;
        EXPECT_NE(error->find("exactly 1024 bytes"), std::string::npos);
        EXPECT_EQ(image[0], 0x5A);
    }
}

TEST(ParamFile, ErrorsCarryTheSystemsReason) {
    TempDir dir;
    ParamImage image{};
    const auto missing = ReadParamFile(dir.file("absent.par"), image);
    ASSERT_TRUE(missing.has_value());
    EXPECT_NE(missing->find("No such file or directory"), std::string::npos) << *missing;

    const auto noDir = WriteParamFile(dir.file("no/such/dir.par"), image);
    ASSERT_TRUE(noDir.has_value());
    EXPECT_NE(noDir->find("No such file or directory"), std::string::npos) << *noDir;

    // Anything but a regular file is refused before it is opened, so a FIFO with no
    // writer cannot keep the reader waiting for ever.
    const std::string fifo = dir.file("a.fifo");
    ::mkfifo(fifo.c_str(), 0600);
    for (const auto& [path, kind] : {std::pair<std::string, std::string>{fifo, "a FIFO"},
                                     {dir.path.string(), "a folder"},
                                     {"/dev/zero", "a device"}}) {
        EXPECT_EQ(ReadParamFile(path, image), "The file \"" + path + "\" is " + kind +
                                                  ", not a parameter file of exactly 1024 "
                                                  "bytes. Nothing was sent to the servo.");
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

// A folder that takes no new names: its writable file is written in place. Root may
// make names anywhere, so the write runs as an ordinary user then.
TEST(ParamFile, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    TempDir dir;
    const std::string path = dir.file("in place.par");
    WriteBytes(path, "old");
    fs::permissions(path, fs::perms::all);
    fs::permissions(dir.path, fs::perms::all & ~fs::perms::owner_write & ~fs::perms::others_write);
    ParamImage image{};
    image.fill(0x24);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ordinary = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
        ::_exit(ordinary && !WriteParamFile(path, image) ? 0 : 1);
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

    PathChooser choose(std::optional<std::string> path) {
        return [path]() { return path; };
    }
};

TEST_F(CommandFixture, UploadWritesTheFileAndReportsSuccessAfterwards) {
    const std::string path = dir.file("up.par");
    EXPECT_EQ(ParametersUploadCommand(sim.link, image, sim.messages, choose(path), lastPath),
              CommandOutcome::Succeeded);
    EXPECT_EQ(sim.messages.boxes(), (std::vector<Box>{{"Uploading Parameters Succeeds!", "Note"}}));
    EXPECT_EQ(lastPath, path);
    const std::string bytes = Contents(path);
    ASSERT_EQ(bytes.size(), 1024u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 913 >> 8);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 913 & 0xFF);
}

TEST_F(CommandFixture, UploadFailureAsksForNoFileAndCancelWritesNothing) {
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    bool asked = false;
    EXPECT_EQ(ParametersUploadCommand(
                  sim.link, image, sim.messages,
                  [&]() {
                      asked = true;
                      return std::optional<std::string>(dir.file("x.par"));
                  },
                  lastPath),
              CommandOutcome::Failed);
    EXPECT_FALSE(asked);
    EXPECT_EQ(sim.messages.boxes(), (std::vector<Box>{{"Parameters Upload Fails!", "Warning"}}));

    sim.drive->clearFaults();
    sim.messages.clear();
    image.fill(0);
    EXPECT_EQ(
        ParametersUploadCommand(sim.link, image, sim.messages, choose(std::nullopt), lastPath),
        CommandOutcome::Cancelled);
    EXPECT_TRUE(sim.messages.boxes().empty());
    EXPECT_EQ(image[1], 913 & 0xFF) << "the image keeps the uploaded words";
    EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST_F(CommandFixture, UploadFileErrorIsShownWithoutSuccess) {
    EXPECT_EQ(ParametersUploadCommand(sim.link, image, sim.messages,
                                      choose(dir.file("none/up.par")), lastPath),
              CommandOutcome::Failed);
    const auto boxes = sim.messages.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_NE(boxes[0].text.find("No such file or directory"), std::string::npos);
}

TEST_F(CommandFixture, DownloadOfAGoodFile) {
    ParamImage file{};
    SetImageWord(file, ParamWordAddress(30), 321);
    SetImageWord(file, 0x0241, kUnlockCode);
    const std::string path = dir.file("down.par");
    WriteBytes(path, std::string(file.begin(), file.end()));
    EXPECT_EQ(ParametersDownloadCommand(sim.link, image, sim.messages, choose(path), lastPath),
              CommandOutcome::Succeeded);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Downloading Parameters Succeeds!", "Note"}}));
    EXPECT_EQ(sim.word(ParamWordAddress(30)), 321);
    EXPECT_EQ(sim.word(0x0200), 913);
    EXPECT_EQ(lastPath, path);
}

TEST_F(CommandFixture, DownloadRefusesAWrongSizeAndSendsNothing) {
    for (const std::size_t size : {std::size_t{1000}, std::size_t{1030}}) {
        const std::string path = dir.file("bad.par");
        WriteBytes(path, std::string(size, '\x22'));
        sim.messages.clear();
        sim.drive->clearRequestLog();
        EXPECT_EQ(ParametersDownloadCommand(sim.link, image, sim.messages, choose(path), lastPath),
                  CommandOutcome::Failed);
        EXPECT_TRUE(sim.drive->requestLog().empty()) << size;
        const auto boxes = sim.messages.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Warning");
        EXPECT_NE(boxes[0].text.find("exactly 1024 bytes"), std::string::npos);
    }
    EXPECT_EQ(
        ParametersDownloadCommand(sim.link, image, sim.messages, choose(std::nullopt), lastPath),
        CommandOutcome::Cancelled);
}

TEST_F(CommandFixture, DownloadFailureMessage) {
    const std::string path = dir.file("down.par");
    WriteBytes(path, std::string(1024, '\0'));
    sim.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0016, -1, 0, -1});
    EXPECT_EQ(ParametersDownloadCommand(sim.link, image, sim.messages, choose(path), lastPath),
              CommandOutcome::Failed);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Downloading Parameters Fails!", "Warning"}}));
}

TEST(EepromCommands, MessagesWithAndWithoutADrive) {
    ParamSimLink sim;
    EXPECT_EQ(SaveToEepromCommand(sim.link, sim.messages), CommandOutcome::Succeeded);
    EXPECT_EQ(LoadDefaultCommand(sim.link, sim.messages), CommandOutcome::Succeeded);
    EXPECT_EQ(sim.messages.boxes(),
              (std::vector<Box>{{"Save to EEPROM Succeeds!", "NOTES"},
                                {"Loading Default Parameters from EEPROM Succeeds!", "NOTES"}}));

    ParamSimLink none(false);  // no port was ever opened
    EXPECT_EQ(SaveToEepromCommand(none.link, none.messages), CommandOutcome::Failed);
    EXPECT_EQ(LoadDefaultCommand(none.link, none.messages), CommandOutcome::Failed);
    EXPECT_EQ(none.messages.boxes(),
              (std::vector<Box>{{"Save to EEPROM Fails!", "Warning"},
                                {"Loading Default Parameters from EEPROM Fails!", "Warning"}}));
}

}  // namespace
}  // namespace qx::test
