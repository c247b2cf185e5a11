// Connecting, loading the parameter table, uploading to a file and downloading from one,
// each many times over a line with random faults and silent spells: whatever reports
// success delivered exactly the drive's data, whatever fails says so, and nothing takes
// longer than its time limits allow.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "tests/soak/SoakRig.h"

namespace qx::test {
namespace {

class SoakParams : public Soak {};

using Boxes = std::vector<RecordingMessageSink::Box>;

int16_t Signed(uint16_t w) {
    return static_cast<int16_t>(w);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of this process's own, in memory where there is such a file system: parameter
// files are flushed to disk when written.
std::string SoakPath(const char* what) {
    std::error_code ec;
    const std::string folder =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm/" : ::testing::TempDir();
    return folder + "quendrix_soak_" + std::to_string(::getpid()) + "_" + what + ".par";
}

TEST_P(SoakParams, ConnectAndIdentify) {
    soak("connect and identify", 0x51A0'0000, 150, false, [](SoakRig& rig) {
        // The probe, then passes until one succeeds or 3000 ms have passed.
        const uint64_t bound = kSyncQuietMs + 2 + ExchangeWorstMs(kProbeBudgetMs) +
                               kConnectLimitMs + SessionOpenWorstMs() +
                               3 * ExchangeWorstMs(kBudgetLongMs);
        const uint64_t start = rig.nowMs();
        const bool ok = ChooseComPort(rig.link, rig.state.identity, rig.messages, 1) == 1;
        EXPECT_LE(rig.nowMs() - start, bound);
        const auto texts = rig.messages.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_TRUE(ok ? texts[0] == "Connectting with servo succeeds!"
                       : texts[0] == "No Servo connected with COM1!" ||
                             texts[0] == "Quendrix mismatchs the servo!")
            << texts[0];
        const DriveIdentity& id = rig.state.identity;
        EXPECT_TRUE(!ok || (id.bootRomVersion == 101 && id.softwareVersion == 913 &&
                            id.fpgaVersion == 258 && id.versionAccepted == 1));
        EXPECT_EQ(rig.state.link.driveConnected.load(), ok ? 1u : 0u);
        rig.succeeded = ok;
    });
}

// "Parameters Setting..." with its loading dialog run inline, as the command line does;
// every report kept with the instant it came.
class InlineLoad final : public ParamSettingDialogs, public ParamLoadProgress {
  public:
    explicit InlineLoad(SoakRig& rig) : rig_(rig) {}
    int runLoadingDialog() override { return LoadParamTableInline(rig_.link, rig_.state, *this); }
    void runEditor() override { ++editors; }
    void post(ParamLoadStage stage, int) override { posts.push_back({stage, rig_.nowMs()}); }
    std::vector<std::pair<ParamLoadStage, uint64_t>> posts;
    int editors = 0;

  private:
    SoakRig& rig_;
};

TEST_P(SoakParams, LoadTheParameterTable) {
    soak("parameter table load", 0x51A1'0000, 48, true, [](SoakRig& rig) {
        // A stage gives up once an attempt fails 3000 ms after its last success; the
        // attempt under way then still ends: a session opening, a gather and a read.
        const uint64_t gapBound =
            kParamLoadLimitMs + SessionOpenWorstMs() + 2 * ExchangeWorstMs(kBudgetLongMs);
        InlineLoad dialogs(rig);
        uint64_t last = rig.nowMs();
        const bool ok = ParametersSettingCommand(rig.state.parameterTable, dialogs, rig.messages);
        int ranges = 0;
        int values = 0;
        for (const auto& [stage, atMs] : dialogs.posts) {
            EXPECT_LE(atMs - last, gapBound) << "no report for too long";
            last = atMs;
            ranges += stage == ParamLoadStage::Ranges ? 1 : 0;
            values += stage == ParamLoadStage::Values ? 1 : 0;
        }
        ASSERT_FALSE(dialogs.posts.empty());
        EXPECT_EQ(dialogs.posts.back().first, ok ? ParamLoadStage::Done : ParamLoadStage::Failed);
        EXPECT_EQ(dialogs.editors, ok ? 1 : 0);
        EXPECT_EQ(rig.state.parameterTable.parametersLoaded.load(), ok ? 1u : 0u);
        EXPECT_EQ(rig.messages.boxes(),
                  (ok ? Boxes{} : Boxes{{"Communication with Servo Fails!", "Warning"}}));
        if (ok) {
            EXPECT_EQ(ranges, 92) << "every range pair reported once";
            EXPECT_EQ(values, 24);
        }
        // Whatever was reported loaded holds the drive's numbers, finished or not.
        const UserParamTable& table = rig.state.userParamTable;
        for (int pn = 0; pn < std::min(2 * ranges, kParamCount); ++pn) {
            ASSERT_EQ(table.minimum[pn], Signed(rig.drive->read(ParamMinimumAddress(pn)))) << pn;
            ASSERT_EQ(table.maximum[pn], Signed(rig.drive->read(ParamMaximumAddress(pn)))) << pn;
        }
        for (int pn = 0; pn < (values == 0 ? 0 : std::min(1 + 8 * (values - 1), kParamCount));
             ++pn) {
            ASSERT_EQ(table.value[pn], Signed(rig.drive->read(ParamWordAddress(pn)))) << pn;
        }
        rig.succeeded = ok;
    });
}

// A parameter file unlike the drive's image in every word, each parameter within its
// range; Pn 2 holds the unlock code, as a file saved from a working drive does.
ParamImage FileFor(const sim::SimDrive& drive, uint32_t seed) {
    std::mt19937 random(seed);
    ParamImage image{};
    for (uint16_t k = 0; k < kParamImageWordCount; ++k) {
        uint16_t w = static_cast<uint16_t>(random());
        for (int pn = 1; pn <= kHighestParamNumber; ++pn) {
            if (ParamWordAddress(pn) == kParamImageFirstWord + k) {
                w = static_cast<uint16_t>(std::uniform_int_distribution<int>(
                    Signed(drive.read(ParamMinimumAddress(pn))),
                    Signed(drive.read(ParamMaximumAddress(pn))))(random));
            }
        }
        w = kParamImageFirstWord + k == drive_address::kProtectionCode ? kUnlockCode : w;
        image[2 * k] = static_cast<uint8_t>(w >> 8);
        image[2 * k + 1] = static_cast<uint8_t>(w & 0xFF);
    }
    return image;
}

// An upload of words of every kind (so that a misplaced byte shows), then a download of
// a file unlike them.
TEST_P(SoakParams, UploadToAFileThenDownloadAnother) {
    const std::string path = SoakPath("transfer");
    soak("parameters upload and download", 0x51A2'0000, 200, true, [&](SoakRig& rig) {
        std::mt19937 values(rig.seed);
        for (uint16_t k = 1; k < kParamImageWordCount; ++k) {
            rig.drive->write(kParamImageFirstWord + k, static_cast<uint16_t>(values()));
        }
        const std::vector<uint8_t> truth = DriveImage(*rig.drive);
        std::filesystem::remove(path);
        ParamImage image{};
        std::string lastPath;
        int asked = 0;
        auto choose = [&]() -> std::optional<std::string> {
            ++asked;
            return path;
        };
        uint64_t start = rig.nowMs();
        CommandOutcome outcome =
            ParametersUploadCommand(rig.link, image, rig.messages, choose, lastPath);
        EXPECT_LE(rig.nowMs() - start, SessionOpenWorstMs() + 9 * ExchangeWorstMs(kBudgetShortMs));
        bool ok = outcome == CommandOutcome::Succeeded;
        EXPECT_EQ(rig.messages.boxes(), (ok ? Boxes{{"Uploading Parameters Succeeds!", "Note"}}
                                            : Boxes{{"Parameters Upload Fails!", "Warning"}}));
        // No file is asked for after a failed upload, and none is written.
        EXPECT_EQ(asked, ok ? 1 : 0);
        EXPECT_EQ(ReadFile(path), ok ? truth : std::vector<uint8_t>{});
        EXPECT_EQ(DriveImage(*rig.drive), truth) << "an upload changes nothing on the drive";
        const bool uploaded = ok;

        const ParamImage file = FileFor(*rig.drive, rig.seed);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
        // What the drive must hold after a download: the file, but its own head words.
        std::vector<uint8_t> expected(file.begin(), file.end());
        std::copy_n(truth.begin(), kParamImageHeadBytes, expected.begin());
        rig.messages.clear();
        start = rig.nowMs();
        outcome = ParametersDownloadCommand(rig.link, image, rig.messages, choose, lastPath);
        EXPECT_LE(rig.nowMs() - start, SessionOpenWorstMs() + 10 * ExchangeWorstMs(kBudgetLongMs) +
                                           4 * ExchangeWorstMs(kBudgetEepromMs));
        ok = outcome == CommandOutcome::Succeeded;
        EXPECT_EQ(rig.messages.boxes(), (ok ? Boxes{{"Downloading Parameters Succeeds!", "Note"}}
                                            : Boxes{{"Downloading Parameters Fails!", "Warning"}}));
        rig.drive->clearFaults();
        if (ok) {
            EXPECT_EQ(DriveImage(*rig.drive), expected) << "the drive holds the file";
            // And its EEPROM holds it too: restoring from there changes nothing.
            ASSERT_EQ(LoadDefaultParams(rig.link), kStatusOk);
        } else {
            // Whatever the failure left behind, the drive takes the file once the line
            // is quiet again.
            EXPECT_EQ(ParametersDownloadCommand(rig.link, image, rig.messages, choose, lastPath),
                      CommandOutcome::Succeeded);
        }
        EXPECT_EQ(DriveImage(*rig.drive), expected) << "the head words stay the drive's own";
        EXPECT_EQ(ReadFile(path), std::vector<uint8_t>(file.begin(), file.end()))
            << "the file is only read";
        rig.succeeded = uploaded && ok;
    });
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakParams, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
