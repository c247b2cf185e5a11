// Loading the parameter table: what it reports and stores, a drive that goes away and
// comes back or not, the loading dialog's reactions and the command's outcomes. The
// requests themselves are the transcript load.txt.

#include <gtest/gtest.h>

#include <functional>

#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"
#include "params/ParamLoadWorker.h"
#include "params/ParamSettingCommand.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Post = std::pair<ParamLoadStage, int>;

// Keeps every report; `onRanges` runs after the given number of range pairs. Read only
// once the load has ended.
struct RecordingProgress final : ParamLoadProgress {
    void post(ParamLoadStage stage, int percent) override {
        posts.emplace_back(stage, percent);
        if (stage == ParamLoadStage::Ranges && ++pairs == actAfterPairs) {
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

struct LoadFixture : ::testing::Test {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    RecordingProgress progress;
    std::atomic<bool> stop{false};

    void SetUp() override { ASSERT_EQ(BeginParamLoad(sim.state.identity, table), std::nullopt); }
    int load() { return GetPnRange(sim.link, table, progress, stop); }
};

TEST_F(LoadFixture, ReportsAndWhatIsStored) {
    sim.drive->write(ParamWordAddress(36), 0xFF9C);       // -100
    sim.drive->write(ParamMinimumAddress(183), 0x8001);   // -32767
    sim.drive->write(ParamWordAddress(183) + 1, 0x1234);  // the word past Pn 183
    ASSERT_EQ(load(), 1);
    const auto& posts = progress.posts;
    ASSERT_EQ(posts.size(), 117u);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 24u);
    EXPECT_EQ(posts[0], Post(ParamLoadStage::Ranges, 0)) << "2 * 80 / 183";
    EXPECT_EQ(posts[2], Post(ParamLoadStage::Ranges, 2)) << "6 * 80 / 183";
    EXPECT_EQ(posts[91], Post(ParamLoadStage::Ranges, 80));
    EXPECT_EQ(posts[92], Post(ParamLoadStage::Values, 80));
    EXPECT_EQ(posts[94], Post(ParamLoadStage::Values, 81)) << "17 * 20 / 183 + 80";
    EXPECT_EQ(posts[115], Post(ParamLoadStage::Values, 100));
    EXPECT_EQ(posts[116], Post(ParamLoadStage::Done, 100));
    for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
        const auto param = sim::SimParamOf(pn, 913);
        EXPECT_EQ(table.minimum[pn], pn == 183 ? -32767 : param.minimum) << pn;
        EXPECT_EQ(table.maximum[pn], param.maximum) << pn;
        EXPECT_EQ(table.value[pn], static_cast<int16_t>(sim.word(ParamWordAddress(pn)))) << pn;
    }
    EXPECT_EQ(table.value[36], -100) << "sign-extended";
    EXPECT_EQ(table.value[0], 913);
    EXPECT_EQ(table.value[184], 0x1234) << "read with the last batch, never shown";
}

// Pair 20 is asked for again in a new session, with selector 1, as long as the last
// success is less than 3 s old.
TEST_F(LoadFixture, ADriveBackWithinThreeSecondsIsResumedAtThePairInProgress) {
    progress.actAfterPairs = 20;
    progress.onRanges = [this]() { sim.drive->goAwayFor(2'500'000); };
    ASSERT_EQ(load(), 1);
    const auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs[40].selector, 41);
    std::size_t resumed = 41;
    while (resumed < subs.size() && subs[resumed].selector != 1) {
        EXPECT_EQ(subs[resumed++].payload, subs[40].payload);
    }
    ASSERT_LT(resumed + 1, subs.size());
    EXPECT_EQ(subs[resumed].payload, subs[40].payload);
    EXPECT_EQ(subs[resumed + 1].selector, 2);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u) << "no pair reported twice";
    EXPECT_EQ(progress.posts.back().first, ParamLoadStage::Done);
    EXPECT_EQ(table.maximum[183], 300);
}

TEST_F(LoadFixture, ADriveThatNeverReturnsEndsTheLoadAfterThreeSeconds) {
    uint32_t lastSuccess = 0;
    progress.actAfterPairs = 20;
    progress.onRanges = [&]() {
        lastSuccess = sim.clock.tickMs();
        sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    };
    EXPECT_EQ(load(), 0);
    EXPECT_GT(sim.clock.elapsedMs(lastSuccess), 3000u);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 20u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 0u);
    EXPECT_EQ(progress.posts.back(), Post(ParamLoadStage::Failed, 0));
}

TEST_F(LoadFixture, AFailureInTheValueStageGivesUpToo) {
    sim.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0091, 0x0248, 0, -1});
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 2u) << "Pn 0 and Pn 1 to 8";
    EXPECT_EQ(progress.posts.back().first, ParamLoadStage::Failed);
}

TEST(BeginParamLoad, RefusesWithoutAnAcceptedSupportedDrive) {
    SharedState state;
    EXPECT_EQ(BeginParamLoad(state.identity, state.userParamTable), kParamLoadNotConnected);
    state.identity.versionAccepted = 1;
    state.identity.softwareVersion = 914;
    EXPECT_EQ(BeginParamLoad(state.identity, state.userParamTable), kParamLoadVersionMismatch);
    EXPECT_EQ(state.userParamTable.highestParamNumber, 0) << "nothing set when refused";
    state.identity.softwareVersion = 4003;
    EXPECT_EQ(BeginParamLoad(state.identity, state.userParamTable), std::nullopt);
    EXPECT_EQ(state.userParamTable.highestParamNumber, 183);
    EXPECT_EQ(state.userParamTable.rangeTableBase, 0x3F301Au);
}

TEST(ReactToParamLoadPost, StageTextsAndResults) {
    const struct {
        ParamLoadStage stage;
        int percent;
        std::optional<int> progress;
        const char* text;
        std::optional<int> result;
        bool loaded;
    } rows[] = {{ParamLoadStage::Ranges, 40, 40, "Loading user parameters' range...", {}, false},
                {ParamLoadStage::Values, 90, 90, "Loading user parameters' value...", {}, false},
                {ParamLoadStage::Done, 100, {}, nullptr, 1, true},
                {ParamLoadStage::Failed, 0, {}, nullptr, 255, false}};
    for (const auto& r : rows) {
        const ParamLoadReaction got = ReactToParamLoadPost(r.stage, r.percent);
        EXPECT_EQ(got.progress, r.progress) << r.percent;
        EXPECT_EQ(got.stageText, r.text ? std::optional<std::string>(r.text) : std::nullopt);
        EXPECT_EQ(got.endResult, r.result) << r.percent;
        EXPECT_EQ(got.markLoaded, r.loaded) << r.percent;
    }
}

// The command's two dialogs, run inline as the command line does.
class InlineDialogs final : public ParamSettingDialogs {
  public:
    explicit InlineDialogs(ParamSimLink& sim) : sim_(sim) {}
    int runLoadingDialog() override {
        ++loads;
        RecordingProgress progress;
        return LoadParamTableInline(sim_.link, sim_.state, progress);
    }
    void runEditor() override { ++editors; }
    int loads = 0;
    int editors = 0;

  private:
    ParamSimLink& sim_;
};

// A first command without a drive, of another version, with a drive that stops
// answering, then a second command on the drive as it is.
TEST(ParametersSettingCommand, MessagesForEachFailureThenTheEditor) {
    enum Setup { NoDrive, Version915, Silent };
    const struct {
        Setup setup;
        const char* box;
    } rows[] = {{NoDrive, "Please Serial Communication Channel First!"},
                {Version915, "Quendrix Mismatch the servo!"},
                {Silent, "Communication with Servo Fails!"}};
    for (const auto& r : rows) {
        ParamSimLink sim(r.setup != NoDrive);
        sim.state.identity.softwareVersion = r.setup == Version915 ? 915 : 913;
        if (r.setup == Silent) {
            sim.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, 0x0400, 10, -1});
        }
        InlineDialogs dialogs(sim);
        EXPECT_FALSE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(sim.messages.boxes(),
                  (std::vector<RecordingMessageSink::Box>{{r.box, "Warning"}}));
        EXPECT_EQ(dialogs.editors, 0);
        EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 0u);

        // Loaded once from Pn 0, then the editor at once, without traffic.
        sim.drive->clearFaults();
        ChooseComPort(sim.link, sim.state.identity, sim.messages, 1);
        sim.messages.clear();
        sim.drive->clearRequestLog();
        EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        const auto subs = SubRequests(*sim.drive);
        ASSERT_FALSE(subs.empty());
        EXPECT_EQ(std::vector<uint8_t>(subs[0].payload.begin() + 16, subs[0].payload.end() - 18),
                  (std::vector<uint8_t>{0x00, 0x3F, 0x30, 0x1A}));
        EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 1u);
        sim.drive->clearRequestLog();
        EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(dialogs.loads, 2);
        EXPECT_EQ(dialogs.editors, 2);
        EXPECT_TRUE(sim.drive->requestLog().empty());
        EXPECT_TRUE(sim.messages.boxes().empty());
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
    EXPECT_EQ(progress.posts.back().first, ParamLoadStage::Done);
    EXPECT_EQ(sim.state.userParamTable.maximum[183], 300);
}

TEST(ParamLoadWorker, StopEndsALoadThatWouldOtherwiseRetry) {
    ParamSimLink sim;
    ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
    sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    RecordingProgress progress;
    {
        ParamLoadWorker worker;
        ASSERT_TRUE(worker.start(sim.link, sim.state.userParamTable, progress));
        worker.stop();
    }
    EXPECT_EQ(progress.posts.back().first, ParamLoadStage::Failed);
}

}  // namespace
}  // namespace qx::test
