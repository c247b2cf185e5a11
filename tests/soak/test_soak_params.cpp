// Connecting, loading the parameter table, uploading to a file and downloading from one,
// each many times over a line with random faults and silent spells: whatever reports
// success delivered exactly the drive's data, whatever fails says so, and nothing takes
// longer than its time limits allow.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
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

using Box = RecordingMessageSink::Box;
using Boxes = std::vector<Box>;

constexpr uint32_t kConnectSeed = 0x51A0'0000;
constexpr uint32_t kLoadSeed = 0x51A1'0000;
constexpr uint32_t kUploadSeed = 0x51A2'0000;
constexpr uint32_t kDownloadSeed = 0x51A3'0000;

int16_t Signed(uint16_t w) {
    return static_cast<int16_t>(w);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Parameter files are flushed to disk when written; a memory file system keeps that
// from costing the soak real time where there is one. Soaks run side by side in
// processes of their own, each with its own files.
std::string SoakPath(const char* what, const FaultMix& mix, uint32_t seed) {
    std::error_code ec;
    const std::string folder =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm/" : ::testing::TempDir();
    return folder + "quendrix_soak_" + std::to_string(::getpid()) + "_" + what + "_" + mix.name +
           "_" + std::to_string(seed) + ".par";
}

TEST_P(SoakParams, ConnectAndIdentify) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kConnectSeed, 150, mix);
    SoakTally tally("connect and identify", mix);
    // The probe, then passes until one succeeds or 3000 ms have passed.
    const uint64_t bound = kSyncQuietMs + 2 + ExchangeWorstMs(kProbeBudgetMs) + kConnectLimitMs +
                           SessionOpenWorstMs() + 3 * ExchangeWorstMs(kBudgetLongMs);
    RigPool pool;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig& rig = pool.take(seed);
        rig.state.link.driveConnected = 0;
        rig.state.identity.versionAccepted = 0;
        rig.state.identity.softwareVersion = 0;
        rig.state.identity.bootRomVersion = 0;
        rig.state.identity.fpgaVersion = 0;
        rig.misbehave(mix);
        const uint64_t start = rig.nowMs();
        const bool ok = ChooseComPort(rig.link, rig.state.identity, rig.messages, 1) == 1;
        EXPECT_LE(rig.nowMs() - start, bound);
        const Boxes boxes = rig.messages.boxes();
        if (ok) {
            EXPECT_EQ(boxes, (Boxes{{"Connectting with servo succeeds!", "Notes"}}));
            EXPECT_EQ(rig.state.identity.softwareVersion, 913u);
            EXPECT_EQ(rig.state.identity.bootRomVersion, 101u);
            EXPECT_EQ(rig.state.identity.fpgaVersion, 258u);
            EXPECT_EQ(rig.state.identity.versionAccepted.load(), 1u);
            EXPECT_EQ(rig.state.link.driveConnected.load(), 1u);
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_TRUE(boxes[0] == (Box{"No Servo connected with COM1!", "Warning"}) ||
                        boxes[0] == (Box{"Quendrix mismatchs the servo!", "Warning"}))
                << boxes[0].text;
            EXPECT_EQ(rig.state.link.driveConnected.load(), 0u);
        }
        tally.add(ok, rig.faults());
    }
}

// Keeps every report of the loader with the instant it came.
class TimedProgress final : public ParamLoadProgress {
  public:
    explicit TimedProgress(Clock& clock) : clock_(clock) {}
    void post(ParamLoadStage stage, int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posts.push_back({stage, percent, clock_.nowUs() / 1000});
    }
    struct Post {
        ParamLoadStage stage;
        int percent;
        uint64_t atMs;
    };
    std::vector<Post> posts;

  private:
    Clock& clock_;
    std::mutex mutex_;
};

// "Parameters Setting..." with its loading dialog run inline, as the command line does.
class InlineLoad final : public ParamSettingDialogs {
  public:
    InlineLoad(SoakRig& rig, TimedProgress& progress) : rig_(rig), progress_(progress) {}
    int runLoadingDialog() override {
        return LoadParamTableInline(rig_.link, rig_.state, progress_);
    }
    void runEditor() override { ++editors; }
    int editors = 0;

  private:
    SoakRig& rig_;
    TimedProgress& progress_;
};

TEST_P(SoakParams, LoadTheParameterTable) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kLoadSeed, 48, mix);
    SoakTally tally("parameter table load", mix);
    // A stage gives up once an attempt fails 3000 ms after its last success; the attempt
    // under way then still ends: a session opening, a gather and a read.
    const uint64_t gapBound =
        kParamLoadLimitMs + SessionOpenWorstMs() + 2 * ExchangeWorstMs(kBudgetLongMs);
    RigPool pool;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig& rig = pool.take(seed);
        ASSERT_TRUE(rig.connect());
        // Nothing of an earlier load may pass for this one's.
        rig.state.userParamTable = UserParamTable{};
        rig.state.parameterTable.parametersLoaded = 0;
        rig.misbehave(mix);
        TimedProgress progress(rig.clock);
        InlineLoad dialogs(rig, progress);
        const uint64_t start = rig.nowMs();
        const bool ok = ParametersSettingCommand(rig.state.parameterTable, dialogs, rig.messages);
        const sim::SimDrive& drive = *rig.drive;
        const UserParamTable& table = rig.state.userParamTable;

        ASSERT_FALSE(progress.posts.empty());
        uint64_t last = start;
        int ranges = 0;
        int values = 0;
        for (const auto& p : progress.posts) {
            EXPECT_LE(p.atMs - last, gapBound) << "no report for too long";
            last = p.atMs;
            ranges += p.stage == ParamLoadStage::Ranges ? 1 : 0;
            values += p.stage == ParamLoadStage::Values ? 1 : 0;
        }
        EXPECT_EQ(progress.posts.back().stage, ok ? ParamLoadStage::Done : ParamLoadStage::Failed);
        if (ok) {
            EXPECT_TRUE(rig.messages.boxes().empty());
            EXPECT_EQ(dialogs.editors, 1);
            EXPECT_EQ(rig.state.parameterTable.parametersLoaded.load(), 1u);
            EXPECT_EQ(ranges, 92) << "every range pair reported once";
            EXPECT_EQ(values, 24);
        } else {
            EXPECT_EQ(rig.messages.boxes(),
                      (Boxes{{"Communication with Servo Fails!", "Warning"}}));
            EXPECT_EQ(dialogs.editors, 0);
            EXPECT_EQ(rig.state.parameterTable.parametersLoaded.load(), 0u);
        }
        // Whatever was reported loaded holds the drive's numbers, finished or not.
        const int rangesDone = std::min(2 * ranges, kParamCount);
        for (int pn = 0; pn < rangesDone; ++pn) {
            ASSERT_EQ(table.minimum[pn], Signed(drive.read(ParamMinimumAddress(pn)))) << pn;
            ASSERT_EQ(table.maximum[pn], Signed(drive.read(ParamMaximumAddress(pn)))) << pn;
        }
        const int valuesDone = values == 0 ? 0 : std::min(1 + 8 * (values - 1), kParamCount);
        for (int pn = 0; pn < valuesDone; ++pn) {
            ASSERT_EQ(table.value[pn], Signed(drive.read(ParamWordAddress(pn)))) << pn;
        }
        tally.add(ok, rig.faults());
    }
}

TEST_P(SoakParams, UploadToAFile) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kUploadSeed, 200, mix);
    SoakTally tally("parameters upload", mix);
    const uint64_t bound = SessionOpenWorstMs() + 9 * ExchangeWorstMs(kBudgetShortMs);
    RigPool pool;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig& rig = pool.take(seed);
        ASSERT_TRUE(rig.connect());
        // Values of every kind, so that a misplaced byte shows.
        std::mt19937 values(seed);
        for (uint16_t k = 1; k < kParamImageWordCount; ++k) {
            rig.drive->write(kParamImageFirstWord + k, static_cast<uint16_t>(values()));
        }
        const std::vector<uint8_t> truth = DriveImage(*rig.drive);
        rig.misbehave(mix);

        const std::string path = SoakPath("upload", mix, seed);
        std::filesystem::remove(path);
        int asked = 0;
        ParamImage image{};
        std::string lastPath;
        const uint64_t start = rig.nowMs();
        const CommandOutcome outcome = ParametersUploadCommand(
            rig.link, image, rig.messages,
            [&]() -> std::optional<std::string> {
                ++asked;
                return path;
            },
            lastPath);
        EXPECT_LE(rig.nowMs() - start, bound);
        EXPECT_NE(outcome, CommandOutcome::Cancelled);
        const bool ok = outcome == CommandOutcome::Succeeded;
        if (ok) {
            EXPECT_EQ(rig.messages.boxes(), (Boxes{{"Uploading Parameters Succeeds!", "Note"}}));
            EXPECT_EQ(ReadFile(path), truth) << "the file is the drive's image";
        } else {
            EXPECT_EQ(rig.messages.boxes(), (Boxes{{"Parameters Upload Fails!", "Warning"}}));
            EXPECT_EQ(asked, 0) << "no file is asked for after a failed upload";
            EXPECT_FALSE(std::filesystem::exists(path));
        }
        EXPECT_EQ(DriveImage(*rig.drive), truth) << "an upload changes nothing on the drive";
        std::filesystem::remove(path);
        tally.add(ok, rig.faults());
    }
}

// A parameter file unlike the drive's image in every word, each parameter within its
// range; Pn 2 holds the unlock code, as a file saved from a working drive does.
ParamImage FileFor(const sim::SimDrive& drive, uint32_t seed) {
    std::mt19937 random(seed);
    ParamImage image{};
    for (uint16_t k = 0; k < kParamImageWordCount; ++k) {
        uint16_t w = static_cast<uint16_t>(random());
        const uint16_t address = kParamImageFirstWord + k;
        for (int pn = 1; pn <= kHighestParamNumber; ++pn) {
            if (ParamWordAddress(pn) == address) {
                const int lo = Signed(drive.read(ParamMinimumAddress(pn)));
                const int hi = Signed(drive.read(ParamMaximumAddress(pn)));
                w = static_cast<uint16_t>(std::uniform_int_distribution<int>(lo, hi)(random));
            }
        }
        if (address == drive_address::kProtectionCode) {
            w = kUnlockCode;
        }
        image[2 * k] = static_cast<uint8_t>(w >> 8);
        image[2 * k + 1] = static_cast<uint8_t>(w & 0xFF);
    }
    return image;
}

TEST_P(SoakParams, DownloadFromAFile) {
    const FaultMix& mix = GetParam();
    const SoakPlan plan = PlanSoak(kDownloadSeed, 150, mix);
    SoakTally tally("parameters download", mix);
    const uint64_t bound = SessionOpenWorstMs() + 10 * ExchangeWorstMs(kBudgetLongMs) +
                           4 * ExchangeWorstMs(kBudgetEepromMs);
    RigPool pool;
    for (int rep = 0; rep < plan.count && !::testing::Test::HasFailure(); ++rep) {
        const uint32_t seed = plan.seed(rep);
        SCOPED_TRACE(ReplayHint(seed));
        SoakRig& rig = pool.take(seed);
        ASSERT_TRUE(rig.connect());
        const std::string path = SoakPath("download", mix, seed);
        const ParamImage file = FileFor(*rig.drive, seed);
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(file.data()),
                      static_cast<std::streamsize>(file.size()));
        }
        const std::vector<uint8_t> before = DriveImage(*rig.drive);
        // What the drive must hold after a download: the file, but its own head words.
        std::vector<uint8_t> expected(file.begin(), file.end());
        std::copy_n(before.begin(), kParamImageHeadBytes, expected.begin());
        rig.misbehave(mix);

        ParamImage image{};
        std::string lastPath;
        auto choose = [&]() -> std::optional<std::string> { return path; };
        const uint64_t start = rig.nowMs();
        const CommandOutcome outcome =
            ParametersDownloadCommand(rig.link, image, rig.messages, choose, lastPath);
        EXPECT_LE(rig.nowMs() - start, bound);
        EXPECT_NE(outcome, CommandOutcome::Cancelled);
        const bool ok = outcome == CommandOutcome::Succeeded;
        const std::vector<uint8_t> after = DriveImage(*rig.drive);
        EXPECT_TRUE(
            std::equal(before.begin(), before.begin() + kParamImageHeadBytes, after.begin()))
            << "the head words are the drive's own";
        rig.drive->clearFaults();
        if (ok) {
            EXPECT_EQ(rig.messages.boxes(), (Boxes{{"Downloading Parameters Succeeds!", "Note"}}));
            EXPECT_EQ(after, expected) << "the drive holds the file";
            // And its EEPROM holds it too: restoring from there changes nothing.
            ASSERT_EQ(LoadDefaultParams(rig.link), kStatusOk);
            EXPECT_EQ(DriveImage(*rig.drive), expected) << "the EEPROM holds the file";
        } else {
            EXPECT_EQ(rig.messages.boxes(), (Boxes{{"Downloading Parameters Fails!", "Warning"}}));
            // Whatever the failure left behind, the drive takes the file once the line
            // is quiet again.
            rig.messages.clear();
            EXPECT_EQ(ParametersDownloadCommand(rig.link, image, rig.messages, choose, lastPath),
                      CommandOutcome::Succeeded);
            EXPECT_EQ(DriveImage(*rig.drive), expected);
        }
        EXPECT_EQ(ReadFile(path), std::vector<uint8_t>(file.begin(), file.end()))
            << "the file is only read";
        std::filesystem::remove(path);
        tally.add(ok, rig.faults());
    }
}

INSTANTIATE_TEST_SUITE_P(Mix, SoakParams, ::testing::Values(kPercentLine, kRoughLine), MixName);

}  // namespace
}  // namespace qx::test
