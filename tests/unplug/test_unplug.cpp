// The USB-serial cable pulled in the middle of each long operation, against
// quendrix-drive-sim on a pseudo-terminal through the real termios port: the operation
// reports its failure as it always does and within its time limits, nothing spins or
// is left running, the dead device is let go, and once the cable is back picking COM1
// again works.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <thread>

#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "link/ConnectDrive.h"
#include "link/ForwardingPort.h"
#include "link/PortMap.h"
#include "monitor/MonitorThread.h"
#include "motor/AutoMatchWorker.h"
#include "params/GetPnRange.h"
#include "params/ParamCatalog.h"
#include "params/ParamFileCommands.h"
#include "params/ParamLoadWorker.h"
#include "params/ParamSettingCommand.h"
#include "tests/support/DriveSimProcess.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
using std::chrono::milliseconds;
using Texts = std::vector<std::string>;

// Slack on every limit below: the limits come from the link's budgets, and a loaded
// machine or a sanitizer build adds a little everywhere.
constexpr uint32_t kMarginMs = 1000;
// The longest one request takes to give up on a dead line: attempts until its budget
// is spent and one more, each a receive budget overrun by a blocking read.
constexpr uint32_t FailedRequestWorstMs(uint32_t budgetMs) {
    return budgetMs + 2 * (kReceiveBudgetMs + kReadCallMaxMs);
}
// A session opening that fails: the sync burst, its quiet time and the reset request.
constexpr uint32_t kFailedOpeningWorstMs =
    kSyncBurstWorstMs + kSyncQuietMs + FailedRequestWorstMs(kBudgetShortMs);
// Waiting costs a tool next to nothing; a loop that spins takes a whole core.
constexpr double kMaxBusyShare = 0.5;
// How long a window is left open over the dead line before it is closed: about the
// middle of the first failing request, so closing finds the worker inside an exchange.
constexpr milliseconds kHoldOpen{700};
constexpr milliseconds kPullWait{10'000};
constexpr milliseconds kReplugWait{5'000};

uint32_t MsSince(SteadyTime start) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count());
}

double CpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Entries of /proc/self/task (threads), or of /proc/self/fd whose target is `device`;
// a hung-up pseudo-terminal shows as "<device> (deleted)".
int ProcEntries(const char* dir, const std::string& device = "") {
    int n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const auto target = std::filesystem::read_symlink(e.path(), ec).string();
        n += device.empty() || target == device || target == device + " (deleted)" ? 1 : 0;
    }
    return n;
}

// Pulls the simulated cable just before a chosen request (a frame, counted from when the
// switch was set) leaves the tool. The simulator takes the signal before it can read the
// request, so that request is the first to meet a dead line.
using PullWhen = std::function<bool(int index, const uint8_t* frame, std::size_t bytes)>;
class CableSwitch {
  public:
    explicit CableSwitch(DriveSimProcess& sim) : sim_(sim) {}
    void pullAt(PullWhen when) {
        std::lock_guard<std::mutex> lock(mutex_);
        when_ = std::move(when);
        next_ = 0;
    }
    void pullAtRequest(int index) {
        pullAt([index](int k, const uint8_t*, std::size_t) { return k == index; });
    }
    // The cable went out by the simulator's own plan about now.
    void notePulledNow() {
        std::lock_guard<std::mutex> lock(mutex_);
        notePulled();
    }
    void beforeWrite(const uint8_t* data, std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        // A sync burst is no request.
        if (n >= 6 && data[0] == kFrameStart && when_ && when_(next_++, data, n)) {
            when_ = nullptr;
            notePulled();
            sim_.unplug();
        }
    }
    bool waitPulled(milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex_);
        return pulledCv_.wait_for(lock, bound, [this] { return pulledAt_.has_value(); });
    }
    uint32_t msSincePull() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return pulledAt_ ? MsSince(*pulledAt_) : 0;
    }
    // The share of one core this process has used since the cable was pulled.
    double busyShareSincePull() const {
        std::lock_guard<std::mutex> lock(mutex_);
        const double wall = pulledAt_ ? MsSince(*pulledAt_) / 1000.0 : 0.0;
        return wall > 0 ? (CpuSeconds() - pulledCpu_) / wall : 0.0;
    }

  private:
    void notePulled() {
        pulledAt_ = std::chrono::steady_clock::now();
        pulledCpu_ = CpuSeconds();
        pulledCv_.notify_all();
    }

    DriveSimProcess& sim_;
    mutable std::mutex mutex_;
    std::condition_variable pulledCv_;
    PullWhen when_;
    int next_ = 0;
    std::optional<SteadyTime> pulledAt_;
    double pulledCpu_ = 0.0;
};

// The termios port with the switch in its write path.
class SwitchedPort final : public ForwardingPort {
  public:
    SwitchedPort(std::unique_ptr<SerialPort> port, CableSwitch& cable)
        : ForwardingPort(std::move(port)), cable_(cable) {}
    std::size_t write(const uint8_t* data, std::size_t bytes) override {
        cable_.beforeWrite(data, bytes);
        return ForwardingPort::write(data, bytes);
    }

  private:
    CableSwitch& cable_;
};

// Records arriving on a capture worker.
class RecordCounter final : public SampleDoneListener {
  public:
    void sampleDone() override { ++records; }
    std::atomic<int> records{0};
};

// "Parameters Setting..." as the window runs it: the load on the worker thread, its
// reports awaited until the final one.
class WorkerDialogs final : public ParamSettingDialogs, public ParamLoadProgress {
  public:
    WorkerDialogs(DriveLink& link, SharedState& state) : link_(link), state_(state) {}
    int runLoadingDialog() override {
        if (const auto early = BeginParamLoad(state_.identity, state_.userParamTable)) {
            return *early;
        }
        ParamLoadWorker worker;
        auto result = ended_.get_future();
        const bool ended = worker.start(link_, state_.userParamTable, *this) &&
                           result.wait_for(milliseconds(60'000)) == std::future_status::ready;
        worker.stop();
        return ended ? result.get() : 0;
    }
    void runEditor() override { ++editorRuns; }
    void post(ParamLoadStage stage, int percent) override {
        if (const auto end = ReactToParamLoadPost(stage, percent).endResult) {
            ended_.set_value(*end);
        }
    }
    int editorRuns = 0;

  private:
    DriveLink& link_;
    SharedState& state_;
    std::promise<int> ended_;
};

class AnsweringObserver final : public AutoMatchObserver {
  public:
    void report(int, const MotorFields&) override {}
    std::optional<int32_t> askMagnetDirection() override { return 0; }
};

class UnplugTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/quendrix-unplug-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
        ApplyStartupValues(state_);
    }
    void TearDown() override {
        link_.reset();
        sim_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string linkPath() const { return dir_ + "/com1"; }

    // Starts the simulated drive with COM1 on its link.
    void startDrive(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--pace", "--link", linkPath()};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<DriveSimProcess>(QX_DRIVE_SIM, args);
        device_ = sim_->device();
        cable_ = std::make_unique<CableSwitch>(*sim_);
        PortMap map;
        map.setDevice(1, linkPath());
        link_ = std::make_unique<DriveLink>(
            state_.link, steadyClock(),
            [this, factory = MakePortFactory(map, nullptr)](
                const std::string& name) -> std::unique_ptr<SerialPort> {
                auto port = factory(name);
                return port ? std::make_unique<SwitchedPort>(std::move(port), *cable_) : nullptr;
            });
        // A thread sanitizer starts a thread of its own with the first thread made.
        std::thread([] {}).join();
        threadsBefore_ = ProcEntries("/proc/self/task");
    }

    // What picking COM1 does.
    bool pickCom1() {
        messages_.clear();
        return ChooseComPort(*link_, state_.identity, messages_, 1) == 1;
    }

    void startConnected() {
        startDrive();
        ASSERT_TRUE(pickCom1()) << ::testing::PrintToString(messages_.texts());
        messages_.clear();
    }

    // After the failure: nothing spun meanwhile, no worker is left, the dead device was
    // let go. Then the cable goes back in, picking COM1 again connects, and a parameter
    // can be read.
    void expectRecovery(bool plugIn = true) {
        EXPECT_LT(cable_->busyShareSincePull(), kMaxBusyShare);
        EXPECT_EQ(ProcEntries("/proc/self/task"), threadsBefore_);
        EXPECT_EQ(ProcEntries("/proc/self/fd", device_), 0) << device_ << " is still held";
        EXPECT_EQ(state_.link.portOpen, 0u);

        if (plugIn) {
            sim_->plugIn();
        }
        const std::optional<std::string> back = sim_->nextDevice(kReplugWait);
        ASSERT_TRUE(back) << "the simulated cable did not come back";
        ASSERT_TRUE(pickCom1()) << ::testing::PrintToString(messages_.texts());
        EXPECT_EQ(messages_.texts(), Texts{"Connectting with servo succeeds!"});
        EXPECT_EQ(state_.link.portOpen, 1u);
        Session session(*link_);
        ASSERT_EQ(session.open(), kStatusOk);
        EXPECT_EQ(ReadWords(*link_, session.next(), ParamWordAddress(1), 1, kBudgetShortMs),
                  kStatusOk);
    }

    std::string dir_;
    std::string device_;
    SharedState state_;
    RecordingMessageSink messages_;
    std::unique_ptr<DriveSimProcess> sim_;
    std::unique_ptr<CableSwitch> cable_;
    std::unique_ptr<DriveLink> link_;
    int threadsBefore_ = 0;
};

// Identification: the simulator's own plan pulls the cable on the fourth request (the
// first of the version reads) and brings it back 500 ms later, as a new device.
TEST_F(UnplugTest, IdentificationFailsAsAMismatchAndTheNewDeviceConnects) {
    startDrive({"--unplug", "3:500"});
    const SteadyTime start = std::chrono::steady_clock::now();
    cable_->notePulledNow();
    EXPECT_FALSE(pickCom1());
    const uint32_t ms = MsSince(start);
    EXPECT_EQ(messages_.texts(), Texts{"Quendrix mismatchs the servo!"});
    EXPECT_LE(ms, kConnectLimitMs + FailedRequestWorstMs(kBudgetLongMs) + kMarginMs);
    EXPECT_EQ(state_.link.driveConnected, 0u);
    expectRecovery(false);
}

// The parameter operations, the cable pulled at a chosen request: each shows its box
// within its limit (a load gives up once a step has failed for longer than its limit),
// and an upload writes no file.
struct ParamCase {
    const char* operation;
    int pullAt;
    const char* box;
    uint32_t limitMs;
};
const ParamCase kParamCases[] = {
    {"Load", 20, "Communication with Servo Fails!",
     kParamLoadLimitMs + FailedRequestWorstMs(kBudgetLongMs)},
    {"Upload", 5, "Parameters Upload Fails!", FailedRequestWorstMs(kBudgetShortMs)},
    {"Download", 5, "Downloading Parameters Fails!", FailedRequestWorstMs(kBudgetLongMs)},
    {"Save", 4, "Save to EEPROM Fails!", FailedRequestWorstMs(kBudgetEepromMs)},
};
void PrintTo(const ParamCase& c, std::ostream* out) {
    *out << c.operation;
}
class ParamOperationUnplugged : public UnplugTest,
                                public ::testing::WithParamInterface<ParamCase> {};

TEST_P(ParamOperationUnplugged, FailsWithItsBoxWithinItsLimit) {
    const ParamCase& c = GetParam();
    const std::string op = c.operation, file = dir_ + "/drive.par";
    startConnected();
    std::string last;
    const auto choose = [&] { return std::optional<std::string>(file); };
    auto& image = state_.parameterImage;
    if (op == "Download") {
        ASSERT_EQ(ParametersUploadCommand(*link_, image, messages_, choose, last),
                  CommandOutcome::Succeeded);
        messages_.clear();
    }
    cable_->pullAtRequest(c.pullAt);
    WorkerDialogs dialogs(*link_, state_);
    const bool failed =
        op == "Load"     ? !ParametersSettingCommand(state_.parameterTable, dialogs, messages_)
        : op == "Upload" ? ParametersUploadCommand(*link_, image, messages_, choose, last) ==
                               CommandOutcome::Failed
        : op == "Save" ? SaveToEepromCommand(*link_, messages_) == CommandOutcome::Failed
                       : ParametersDownloadCommand(*link_, image, messages_, choose, last) ==
                             CommandOutcome::Failed;
    EXPECT_TRUE(failed);
    EXPECT_LE(cable_->msSincePull(), c.limitMs + kMarginMs);
    EXPECT_EQ(messages_.texts(), Texts{c.box});
    EXPECT_EQ(dialogs.editorRuns + state_.parameterTable.parametersLoaded, 0u);
    EXPECT_EQ(std::filesystem::exists(file), op == "Download");
    expectRecovery();
}
INSTANTIATE_TEST_SUITE_P(Operations, ParamOperationUnplugged, ::testing::ValuesIn(kParamCases),
                         [](const auto& c) { return std::string(c.param.operation); });

// A capture window captures again and again until it is closed; over a dead line no
// record completes, the worker ends after the exchange under way, and closing the tuning
// window then tries the reset and says it failed (the free-running one closes quietly).
class CaptureUnplugged : public UnplugTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CaptureUnplugged, NeverCompletesAndClosesWithinItsLimit) {
    const bool tuning = GetParam();
    startConnected();
    RecordCounter records;
    RecordingMessageSink window;
    LoopTuner tuner(state_, *link_, CaptureKind::Speed, window, messages_, records);
    FreeRunMonitor monitor(state_, *link_, window, records);
    PlotData plot;
    ASSERT_TRUE(tuning ? tuner.open() : monitor.open());
    monitor.chooseAutoRun(true);
    cable_->pullAtRequest(tuning ? 4 : 3);  // reset, set-up, (gains,) start: the first poll
    ASSERT_TRUE(tuning ? tuner.timerTick() : monitor.timerTick(plot));
    ASSERT_TRUE(cable_->waitPulled(kPullWait));
    std::this_thread::sleep_for(kHoldOpen);

    const SteadyTime closing = std::chrono::steady_clock::now();
    tuning ? tuner.close() : monitor.close();
    EXPECT_LE(MsSince(closing), FailedRequestWorstMs(kCaptureExchangeBudgetMs) +
                                    (tuning ? kFailedOpeningWorstMs : 0) + kMarginMs);
    EXPECT_EQ(records.records, 0);
    EXPECT_TRUE(window.texts().empty());
    EXPECT_EQ(messages_.texts(), tuning ? Texts{"OrderModule Reset Fails!"} : Texts{});
    expectRecovery();
}
INSTANTIATE_TEST_SUITE_P(Windows, CaptureUnplugged, ::testing::Bool(),
                         [](const auto& c) { return c.param ? "Tuning" : "FreeRunning"; });

// The status monitor keeps polling a lost drive and shows it as not connected.
TEST_F(UnplugTest, MonitorShowsTheDriveLostAndStops) {
    startConnected();
    MonitorThread monitor(*link_, state_.driveStatus);
    cable_->pullAtRequest(4);  // the second poll's set-up request
    ASSERT_TRUE(monitor.start(messages_));
    ASSERT_TRUE(cable_->waitPulled(kPullWait));
    const SteadyTime deadline =
        std::chrono::steady_clock::now() + milliseconds(kStatusPollWorstMs + kMarginMs);
    while (state_.link.driveConnected != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_EQ(state_.link.driveConnected, 0u);
    EXPECT_GE(monitor.pollCount(), 1u);
    std::this_thread::sleep_for(kHoldOpen);  // it goes on polling the dead line

    const SteadyTime closing = std::chrono::steady_clock::now();
    EXPECT_TRUE(monitor.stop());
    EXPECT_LE(MsSince(closing), kStatusPollWorstMs + kMarginMs);
    EXPECT_TRUE(messages_.texts().empty());
    expectRecovery();
}

// Pulled as the motor is told to turn: the match fails, and no servo-off is tried over
// a line that is gone.
TEST_F(UnplugTest, AutoMatchFails) {
    startConnected();
    AutoMatchInput input;
    SetMotorDefaults(input.fields);
    input.loopModel = state_.currentLoopModel;
    AnsweringObserver observer;
    AutoMatchWorker worker(*link_, observer, messages_);
    cable_->pullAt([](int, const uint8_t* f, std::size_t n) {
        return n >= 10 && f[1] == kCmdSubCommand &&
               (f[4] << 8 | f[5]) == static_cast<int>(SubCommand::MotorTest) &&
               (f[6] << 8 | f[7]) == static_cast<int>(MotorTestAction::Turn);
    });
    std::promise<AutoMatchResult> done;
    auto result = done.get_future();
    ASSERT_TRUE(worker.start(input, [&](const AutoMatchResult& r) { done.set_value(r); }));
    ASSERT_EQ(result.wait_for(milliseconds(60'000)), std::future_status::ready);
    const uint32_t ms = cable_->msSincePull();
    worker.stop();
    const AutoMatchResult r = result.get();
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(r.fields.message, kTextMatchFailed);
    EXPECT_EQ(r.percent, kProgressFailed);
    EXPECT_FALSE(r.servoOffAfterFailure);
    EXPECT_LE(ms, FailedRequestWorstMs(kBudgetShortMs) + kMarginMs);
    expectRecovery();
}

}  // namespace
}  // namespace qx::test
