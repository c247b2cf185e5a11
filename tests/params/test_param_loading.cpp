// Loading the parameter table: the requests on the wire, the progress reports, the
// resumption after a drive that went away, giving up, and the command's outcomes.

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>

#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"
#include "params/ParamLoadWorker.h"
#include "params/ParamSettingCommand.h"
#include "tests/params/ParamSimLink.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;

class RecordingProgress final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage stage, int percent) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posts_.emplace_back(stage, percent);
        done_.notify_all();
    }
    std::vector<std::pair<ParamLoadStage, int>> posts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return posts_;
    }
    std::size_t count(ParamLoadStage stage) const {
        std::size_t n = 0;
        for (const auto& p : posts()) {
            n += p.first == stage ? 1 : 0;
        }
        return n;
    }
    // Waits for the final report, as the dialog does.
    ParamLoadStage waitForEnd() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this]() {
            return !posts_.empty() && (posts_.back().first == ParamLoadStage::Done ||
                                       posts_.back().first == ParamLoadStage::Failed);
        });
        return posts_.back().first;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable done_;
    std::vector<std::pair<ParamLoadStage, int>> posts_;
};

struct LoadFixture : ::testing::Test {
    ParamSimLink sim;
    UserParamTable& table = sim.state.userParamTable;
    RecordingProgress progress;
    std::atomic<bool> stop{false};

    void SetUp() override { ASSERT_EQ(BeginParamLoad(sim.state.identity, table), std::nullopt); }
    int load() { return GetPnRange(sim.link, table, progress, stop); }
};

TEST_F(LoadFixture, FullLoadOnTheWire) {
    ASSERT_EQ(load(), 1);
    const auto subs = SubRequests(*sim.drive);
    ASSERT_EQ(subs.size(), 92u * 2 + 24);

    // Range pairs: a gather of the four range words, then a read of the exchange area.
    for (int pair = 0; pair < 92; ++pair) {
        const Request& gather = subs[2 * pair];
        const Request& read = subs[2 * pair + 1];
        EXPECT_EQ(gather.selector, 2 * pair + 1);
        EXPECT_EQ(read.selector, 2 * pair + 2);
        const uint32_t a = 0x3F301A + 4 * static_cast<uint32_t>(pair);
        auto be = [](uint32_t v) {
            return Bytes(
                {0, 0, int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
        };
        std::vector<uint8_t> expected = Bytes(
            {0x00, 0x1A, 0x00, 0x04, 0x00, 0x01, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00});
        for (uint32_t k = 0; k < 4; ++k) {
            const auto item = be(a + k);
            expected.insert(expected.end(), item.begin(), item.end());
        }
        ASSERT_EQ(gather.payload.size(), 38u);
        EXPECT_EQ(gather.payload, expected) << "pair " << pair;
        EXPECT_EQ(read.payload, Bytes({0x00, 0x91, 0x04, 0x00, 0x00, 0x08}));
    }
    // Values: Pn 0 alone (two words asked), then eight at a time from Pn 1.
    EXPECT_EQ(subs[184].selector, 1) << "a new session for the values";
    EXPECT_EQ(subs[184].payload, Bytes({0x00, 0x91, 0x02, 0x00, 0x00, 0x02}));
    for (int b = 0; b < 23; ++b) {
        const int address = 0x0240 + 8 * b;
        EXPECT_EQ(subs[185 + b].selector, b + 2);
        EXPECT_EQ(subs[185 + b].payload,
                  Bytes({0x00, 0x91, address >> 8, address & 0xFF, 0x00, 0x08}));
    }
    EXPECT_EQ(Requests(*sim.drive).size(), subs.size() + 4) << "two session openings";
}

TEST_F(LoadFixture, ReportsAndTableContents) {
    sim.drive->write(0x0240 + 35, 0xFF9C);  // Pn 36 = -100
    ASSERT_EQ(load(), 1);
    const auto posts = progress.posts();
    ASSERT_EQ(posts.size(), 117u);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 24u);
    EXPECT_EQ(posts.front(), std::make_pair(ParamLoadStage::Ranges, 0)) << "2 * 80 / 183";
    EXPECT_EQ(posts[91], std::make_pair(ParamLoadStage::Ranges, 80));
    EXPECT_EQ(posts[92], std::make_pair(ParamLoadStage::Values, 80));
    EXPECT_EQ(posts[115], std::make_pair(ParamLoadStage::Values, 100));
    EXPECT_EQ(posts.back(), std::make_pair(ParamLoadStage::Done, 100));
    for (std::size_t i = 1; i < posts.size(); ++i) {
        EXPECT_GE(posts[i].second, posts[i - 1].second);
    }

    EXPECT_EQ(table.highestParamNumber, 183);
    EXPECT_EQ(table.rangeTableBase, 0x3F301Au);
    for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
        const auto param = sim::SimParamOf(pn, 913);
        EXPECT_EQ(table.minimum[pn], param.minimum) << pn;
        EXPECT_EQ(table.maximum[pn], param.maximum) << pn;
        EXPECT_EQ(table.value[pn], static_cast<int16_t>(sim.word(ParamWordAddress(pn)))) << pn;
    }
    EXPECT_EQ(table.value[36], -100) << "sign-extended";
    EXPECT_EQ(table.minimum[16], -1000);
    EXPECT_EQ(table.value[0], 913);
}

// Calls `action` once, when the given number of range pairs has been reported.
class ActAfterPairs final : public ParamLoadProgress {
  public:
    ActAfterPairs(ParamLoadProgress& next, std::size_t pairs, std::function<void()> action)
        : next_(next), pairs_(pairs), action_(std::move(action)) {}
    void post(ParamLoadStage stage, int percent) override {
        next_.post(stage, percent);
        if (stage == ParamLoadStage::Ranges && ++seen_ == pairs_) {
            action_();
        }
    }

  private:
    ParamLoadProgress& next_;
    std::size_t pairs_;
    std::size_t seen_ = 0;
    std::function<void()> action_;
};

TEST_F(LoadFixture, ADriveBackWithinThreeSecondsIsResumedAtThePairInProgress) {
    ActAfterPairs hook(progress, 20, [this]() { sim.drive->goAwayFor(2'500'000); });
    ASSERT_EQ(GetPnRange(sim.link, table, hook, stop), 1);

    const auto subs = SubRequests(*sim.drive);
    // Pair 20 was asked for with selector 41 (and retried) until the session was given
    // up; the next session asks for the same pair with selector 1.
    ASSERT_EQ(subs[40].selector, 41);
    std::size_t resumed = 41;
    while (resumed < subs.size() && subs[resumed].selector != 1) {
        EXPECT_EQ(subs[resumed].payload, subs[40].payload);
        ++resumed;
    }
    ASSERT_LT(resumed, subs.size());
    EXPECT_EQ(subs[resumed].payload, subs[40].payload);
    EXPECT_EQ(subs[resumed + 1].payload, Bytes({0x00, 0x91, 0x04, 0x00, 0x00, 0x08}));
    EXPECT_EQ(subs[resumed + 1].selector, 2);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u) << "no pair reported twice";
    EXPECT_EQ(progress.posts().back().first, ParamLoadStage::Done);
    for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
        EXPECT_EQ(table.maximum[pn], sim::SimParamOf(pn, 913).maximum) << pn;
    }
}

TEST_F(LoadFixture, ADriveThatNeverReturnsEndsTheLoadAfterThreeSeconds) {
    uint32_t lastSuccessTick = 0;
    ActAfterPairs hook(progress, 20, [this, &lastSuccessTick]() {
        lastSuccessTick = sim.clock.tickMs();
        sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    });
    EXPECT_EQ(GetPnRange(sim.link, table, hook, stop), 0);
    EXPECT_GT(sim.clock.elapsedMs(lastSuccessTick), kParamLoadLimitMs);
    const auto posts = progress.posts();
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 20u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 0u);
    EXPECT_EQ(posts.back(), std::make_pair(ParamLoadStage::Failed, 0));
    EXPECT_EQ(progress.count(ParamLoadStage::Done), 0u);
}

TEST_F(LoadFixture, AFailureInTheValueStageGivesUpToo) {
    sim.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0091, 0x0248, 0, -1});
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(progress.count(ParamLoadStage::Ranges), 92u);
    EXPECT_EQ(progress.count(ParamLoadStage::Values), 2u) << "Pn 0 and Pn 1 to 8";
    EXPECT_EQ(progress.posts().back().first, ParamLoadStage::Failed);
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
    auto r = ReactToParamLoadPost(ParamLoadStage::Ranges, 40);
    EXPECT_EQ(r.progress, 40);
    EXPECT_EQ(r.stageText, "Loading user parameters' range...");
    EXPECT_FALSE(r.endResult);
    r = ReactToParamLoadPost(ParamLoadStage::Values, 90);
    EXPECT_EQ(r.stageText, "Loading user parameters' value...");
    r = ReactToParamLoadPost(ParamLoadStage::Done, 100);
    EXPECT_TRUE(r.markLoaded);
    EXPECT_EQ(r.endResult, 1);
    r = ReactToParamLoadPost(ParamLoadStage::Failed, 0);
    EXPECT_FALSE(r.markLoaded);
    EXPECT_EQ(r.endResult, 255);
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

TEST(ParametersSettingCommand, LoadsOnceThenOpensTheEditorWithoutTraffic) {
    ParamSimLink sim;
    InlineDialogs dialogs(sim);
    EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
    EXPECT_EQ(dialogs.loads, 1);
    EXPECT_EQ(dialogs.editors, 1);
    EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 1u);

    sim.drive->clearRequestLog();
    sim.state.identity.versionAccepted = 0;  // even another drive, or none, since
    EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
    EXPECT_EQ(dialogs.loads, 1);
    EXPECT_EQ(dialogs.editors, 2);
    EXPECT_TRUE(sim.drive->requestLog().empty());
    EXPECT_TRUE(sim.messages.boxes().empty());
}

TEST(ParametersSettingCommand, MessagesForEachFailure) {
    {
        ParamSimLink sim(false);
        InlineDialogs dialogs(sim);
        EXPECT_FALSE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(sim.messages.boxes(),
                  (std::vector<Box>{{"Please Serial Communication Channel First!", "Warning"}}));
        EXPECT_TRUE(sim.drive->requestLog().empty());
    }
    {
        ParamSimLink sim;
        sim.state.identity.softwareVersion = 915;
        InlineDialogs dialogs(sim);
        EXPECT_FALSE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(sim.messages.boxes(),
                  (std::vector<Box>{{"Quendrix Mismatch the servo!", "Warning"}}));
    }
    {
        ParamSimLink sim;
        sim.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, 0x0400, 10, -1});
        InlineDialogs dialogs(sim);
        EXPECT_FALSE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        EXPECT_EQ(sim.messages.boxes(),
                  (std::vector<Box>{{"Communication with Servo Fails!", "Warning"}}));
        EXPECT_EQ(dialogs.editors, 0);
        EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 0u);

        // The next command loads again from Pn 0.
        sim.drive->clearFaults();
        sim.drive->clearRequestLog();
        sim.messages.clear();
        EXPECT_TRUE(ParametersSettingCommand(sim.state.parameterTable, dialogs, sim.messages));
        const auto subs = SubRequests(*sim.drive);
        ASSERT_FALSE(subs.empty());
        EXPECT_EQ(std::vector<uint8_t>(subs[0].payload.begin() + 16, subs[0].payload.begin() + 20),
                  Bytes({0x00, 0x3F, 0x30, 0x1A}))
            << "the first gather asks for Pn 0's range";
        EXPECT_EQ(sim.state.parameterTable.parametersLoaded, 1u);
    }
}

TEST(ParamLoadWorker, RunsOnItsOwnThreadAndEndsAfterItsFinalReport) {
    ParamSimLink sim;
    ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
    RecordingProgress progress;
    ParamLoadWorker worker;
    ASSERT_TRUE(worker.start(sim.link, sim.state.userParamTable, progress));
    EXPECT_FALSE(worker.start(sim.link, sim.state.userParamTable, progress))
        << "one load at a time";
    EXPECT_EQ(progress.waitForEnd(), ParamLoadStage::Done);
    worker.join();
    EXPECT_EQ(progress.posts().size(), 117u);
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
    EXPECT_EQ(progress.posts().back().first, ParamLoadStage::Failed);
}

}  // namespace
}  // namespace qx::test
