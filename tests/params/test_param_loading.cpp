// Loading the parameter table beyond its transcript (load.txt) and its soak (what is
// stored, resumption after failed requests): the reports, how a load ends, the loading
// dialog's reactions and the command's outcomes.

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
    const auto& p = progress.posts;
    ASSERT_EQ(p.size(), 117u);
    EXPECT_EQ(progress.count(S::Ranges), 92u);
    EXPECT_EQ(progress.count(S::Values), 24u);
    EXPECT_EQ((std::vector<Post>{p[0], p[1], p[2], p[91], p[92], p[93], p[94], p[115], p[116]}),
              (std::vector<Post>{{S::Ranges, 0},
                                 {S::Ranges, 1},
                                 {S::Ranges, 2},
                                 {S::Ranges, 80},
                                 {S::Values, 80},
                                 {S::Values, 80},
                                 {S::Values, 81},
                                 {S::Values, 100},
                                 {S::Done, 100}}));
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

// A drive silent from pair 20 on is given up once an attempt fails more than 3 s after
// the last success; a failed value read ends the load too; so does a stop, before the
// load or at pair 20, with nothing sent after it.
TEST(GetPnRange, EndsWithAFailureReport) {
    enum Case { Silent, ValueFails, StopFirst, StopAt20 };
    const std::tuple<Case, std::size_t, std::size_t> rows[] = {
        {Silent, 20, 0}, {ValueFails, 92, 2}, {StopFirst, 0, 0}, {StopAt20, 20, 0}};
    for (const auto& [what, ranges, values] : rows) {
        ParamSimLink sim;
        ASSERT_EQ(BeginParamLoad(sim.state.identity, sim.state.userParamTable), std::nullopt);
        RecordingProgress progress;
        std::atomic<bool> stop{what == StopFirst};
        uint32_t lastSuccess = 0;
        std::size_t sent = 0;
        progress.actAfterPairs = 20;
        progress.onRanges = [&, what = what]() {
            lastSuccess = sim.clock.tickMs();
            sent = sim.drive->requestLog().size();
            if (what == Silent) {
                sim.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
            }
            stop = what == StopAt20;
        };
        if (what == ValueFails) {
            sim.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0091, 0x0248, 0, -1});
        }
        EXPECT_EQ(GetPnRange(sim.link, sim.state.userParamTable, progress, stop), 0) << what;
        EXPECT_EQ(progress.count(S::Ranges), ranges) << what;
        EXPECT_EQ(progress.count(S::Values), values) << what;
        EXPECT_EQ(progress.posts.back(), Post(S::Failed, 0)) << what;
        if (what == Silent) {
            EXPECT_GT(sim.clock.elapsedMs(lastSuccess), 3000u);
        } else if (what != ValueFails) {
            EXPECT_EQ(sim.drive->requestLog().size(), sent) << what;
        }
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

}  // namespace
}  // namespace qx::test
