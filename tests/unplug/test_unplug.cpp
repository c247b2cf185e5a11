// The USB-serial cable of quendrix-drive-sim's pseudo-terminal pulled in the middle of each
// long operation: it reports its failure as always and in time, nothing spins or is left
// running, the dead device is let go, and once the cable is back picking COM1 works again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <future>
#include <thread>

#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "link/ConnectDrive.h"
#include "link/ForwardingPort.h"
#include "link/PortMap.h"
#include "monitor/MonitorThread.h"
#include "motor/AutoMatch.h"
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

// What every thread of this process has used.
double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
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

// Pulls the cable just before a chosen request (counted from when the switch was set)
// leaves: the simulator takes the signal first, so that request meets a dead line.
using PullWhen = std::function<bool(int index, const uint8_t* frame, std::size_t bytes)>;
PullWhen AtRequest(int index) {
    return [index](int k, const uint8_t*, std::size_t) { return k == index; };
}
struct CableSwitch {
    explicit CableSwitch(DriveSimProcess& sim) : sim_(sim) {}
    void pullAt(PullWhen when) {
        std::lock_guard<std::mutex> lock(mutex_);
        when_ = std::move(when);
        next_ = 0;
    }
    void beforeWrite(const uint8_t* data, std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        // A sync burst is no request.
        if (n >= 6 && data[0] == kFrameStart && when_ && when_(next_++, data, n)) {
            when_ = nullptr;
            pulledAt_ = std::chrono::steady_clock::now();
            pulledCpu_ = CpuSeconds();
            pulled_.notify_all();
            sim_.unplug();
        }
    }
    bool waitPulled() {
        std::unique_lock<std::mutex> lock(mutex_);
        return pulled_.wait_for(lock, kPullWait, [this] { return pulledAt_.has_value(); });
    }
    // Since the pull: the milliseconds, and the share of one core this process used.
    std::pair<uint32_t, double> sincePull() const {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint32_t ms = pulledAt_ ? MsSince(*pulledAt_) : 0;
        return {ms, ms > 0 ? (CpuSeconds() - pulledCpu_) * 1000.0 / ms : 0.0};
    }
    DriveSimProcess& sim_;
    mutable std::mutex mutex_;
    std::condition_variable pulled_;
    PullWhen when_;
    int next_ = 0;
    std::optional<SteadyTime> pulledAt_;
    double pulledCpu_ = 0.0;
};

// The termios port with the switch in its write path.
struct SwitchedPort final : ForwardingPort {
    SwitchedPort(std::unique_ptr<SerialPort> port, CableSwitch& cable)
        : ForwardingPort(std::move(port)), cable_(cable) {}
    std::size_t write(const uint8_t* data, std::size_t bytes) override {
        cable_.beforeWrite(data, bytes);
        return ForwardingPort::write(data, bytes);
    }
    CableSwitch& cable_;
};

// Stands in for a capture window's records and the match window's direction question.
struct WindowStandIn final : SampleDoneListener, AutoMatchObserver {
    void sampleDone() override { ++records; }
    std::atomic<int> records{0};
    void report(int, const MotorFields&) override {}
    std::optional<int32_t> askMagnetDirection() override { return 0; }
};

// "Parameters Setting..." as the window runs it: the load on the worker thread, its
// reports awaited until the final one.
struct WorkerDialogs final : ParamSettingDialogs, ParamLoadProgress {
    WorkerDialogs(DriveLink& l, SharedState& s) : link(l), state(s) {}
    int runLoadingDialog() override {
        if (const auto early = BeginParamLoad(state.identity, state.userParamTable)) {
            return *early;
        }
        ParamLoadWorker worker;
        auto result = ended.get_future();
        const bool done = worker.start(link, state.userParamTable, *this) &&
                          result.wait_for(milliseconds(60'000)) == std::future_status::ready;
        worker.stop();
        return done ? result.get() : 0;
    }
    void runEditor() override { ++editorRuns; }
    void post(ParamLoadStage stage, int percent) override {
        if (const auto end = ReactToParamLoadPost(stage, percent).endResult) {
            ended.set_value(*end);
        }
    }
    DriveLink& link;
    SharedState& state;
    std::promise<int> ended;
    int editorRuns = 0;
};

struct UnplugTest : ::testing::Test {
    void SetUp() override {
        char dir[] = "/tmp/quendrix-unplug-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
        ApplyStartupValues(state_);
    }
    void TearDown() override {
        link_.reset();
        sim_.reset();
        std::filesystem::remove_all(dir_);
    }

    // Starts the simulated drive with COM1 on its link, and picks COM1 if `connect`.
    void startDrive(bool connect) {
        sim_ = std::make_unique<DriveSimProcess>(
            QX_DRIVE_SIM, std::vector<std::string>{"--pace", "--link", dir_ + "/com1"});
        device_ = sim_->device();
        cable_ = std::make_unique<CableSwitch>(*sim_);
        PortMap map;
        map.setDevice(1, dir_ + "/com1");
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
        if (connect) {
            ASSERT_TRUE(pickCom1());
            messages_.clear();
        }
    }

    bool pickCom1() {
        messages_.clear();
        return ChooseComPort(*link_, state_.identity, messages_, 1) == 1;
    }

    // Nothing spun, no worker is left, the dead device was let go; with the cable back
    // picking COM1 connects again (its identification reads over the new device).
    void expectRecovery() {
        EXPECT_LT(cable_->sincePull().second, kMaxBusyShare);
        EXPECT_EQ(ProcEntries("/proc/self/task"), threadsBefore_);
        EXPECT_EQ(ProcEntries("/proc/self/fd", device_), 0) << device_ << " is still held";
        EXPECT_EQ(state_.link.portOpen, 0u);
        sim_->plugIn();
        ASSERT_TRUE(sim_->nextDevice(kReplugWait)) << "the simulated cable did not come back";
        ASSERT_TRUE(pickCom1()) << ::testing::PrintToString(messages_.texts());
        EXPECT_EQ(messages_.texts(), Texts{"Connectting with servo succeeds!"});
        EXPECT_EQ(state_.link.portOpen, 1u);
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

// Each operation shows its box within its limit (a load gives up once a step has failed
// for longer than its limit); an upload writes no file. Identification meets the dead line
// at the first version read and takes it for a mismatch. The match, pulled as the motor is
// told to turn, tries no servo-off over a line that is gone.
bool TurnRequest(int, const uint8_t* f, std::size_t n) {
    return n >= 10 && f[1] == kCmdSubCommand &&
           (f[4] << 8 | f[5]) == static_cast<int>(SubCommand::MotorTest) &&
           (f[6] << 8 | f[7]) == static_cast<int>(MotorTestAction::Turn);
}
struct OperationCase {
    const char* operation;
    PullWhen pullWhen;
    const char* box;
    uint32_t limitMs;
};
const OperationCase kOperationCases[] = {
    {"Identify", AtRequest(3), "Quendrix mismatchs the servo!",
     kConnectLimitMs + FailedRequestWorstMs(kBudgetLongMs)},
    {"Load", AtRequest(20), "Communication with Servo Fails!",
     kParamLoadLimitMs + FailedRequestWorstMs(kBudgetLongMs)},
    {"Upload", AtRequest(5), "Parameters Upload Fails!", FailedRequestWorstMs(kBudgetShortMs)},
    {"Download", AtRequest(5), "Downloading Parameters Fails!",
     FailedRequestWorstMs(kBudgetLongMs)},
    {"Save", AtRequest(4), "Save to EEPROM Fails!", FailedRequestWorstMs(kBudgetEepromMs)},
    {"Match", TurnRequest, "", FailedRequestWorstMs(kBudgetShortMs)},
};
struct OperationUnplugged : UnplugTest, ::testing::WithParamInterface<OperationCase> {};

TEST_P(OperationUnplugged, FailsWithItsBoxWithinItsLimit) {
    const OperationCase& c = GetParam();
    const std::string op = c.operation, file = dir_ + "/drive.par";
    startDrive(op != "Identify");
    std::string last;
    const auto choose = [&] { return std::optional<std::string>(file); };
    auto& image = state_.parameterImage;
    if (op == "Download") {
        ASSERT_EQ(ParametersUploadCommand(*link_, image, messages_, choose, last),
                  CommandOutcome::Succeeded);
        messages_.clear();
    }
    cable_->pullAt(c.pullWhen);
    WorkerDialogs dialogs(*link_, state_);
    const auto match = [&] {
        AutoMatchInput input;
        SetMotorDefaults(input.fields);
        input.loopModel = state_.currentLoopModel;
        WindowStandIn observer;
        const std::atomic<bool> stop{false};
        const AutoMatchResult r = AutoMatch(*link_, input, observer, messages_, stop);
        return std::tuple(r.succeeded(), r.fields.message, r.percent, r.servoOffAfterFailure) ==
               std::tuple(false, std::string(kTextMatchFailed), kProgressFailed, false);
    };
    const bool failed =
        op == "Identify" ? !pickCom1()
        : op == "Load"   ? !ParametersSettingCommand(state_.parameterTable, dialogs, messages_)
        : op == "Upload" ? ParametersUploadCommand(*link_, image, messages_, choose, last) ==
                               CommandOutcome::Failed
        : op == "Save"  ? SaveToEepromCommand(*link_, messages_) == CommandOutcome::Failed
        : op == "Match" ? match()
                        : ParametersDownloadCommand(*link_, image, messages_, choose, last) ==
                              CommandOutcome::Failed;
    EXPECT_TRUE(failed);
    EXPECT_LE(cable_->sincePull().first, c.limitMs + kMarginMs);
    EXPECT_EQ(messages_.texts(), c.box[0] ? Texts{c.box} : Texts{});
    EXPECT_EQ(dialogs.editorRuns + state_.parameterTable.parametersLoaded, 0u);
    EXPECT_EQ(state_.link.driveConnected, op == "Identify" ? 0u : 1u);
    EXPECT_EQ(std::filesystem::exists(file), op == "Download");
    expectRecovery();
}
INSTANTIATE_TEST_SUITE_P(Operations, OperationUnplugged, ::testing::ValuesIn(kOperationCases),
                         [](const auto& c) { return std::string(c.param.operation); });

// Over a dead line a capture window completes no record, its worker ends after the exchange
// under way, and closing the tuning window tries the reset and says it failed (the
// free-running one closes quietly). The monitor shows a lost drive as not connected.
enum class Window { Tuning, FreeRunning, Monitor };
const char* const kWindowNames[] = {"Tuning", "FreeRunning", "Monitor"};
class WindowUnplugged : public UnplugTest, public ::testing::WithParamInterface<Window> {};

TEST_P(WindowUnplugged, ClosesWithinItsLimit) {
    const Window w = GetParam();
    startDrive(true);
    WindowStandIn records;
    RecordingMessageSink window;
    LoopTuner tuner(state_, *link_, CaptureKind::Speed, window, messages_, records);
    FreeRunMonitor freeRun(state_, *link_, window, records);
    MonitorThread monitor(*link_, state_.driveStatus);
    PlotData plot;
    // Opened, the capture's reset, set-up, (gains,) start, and then the first poll; the
    // monitor's second poll's set-up request.
    if (w != Window::Monitor) {
        ASSERT_TRUE(w == Window::Tuning ? tuner.open() : freeRun.open());
        freeRun.chooseAutoRun(true);
    }
    cable_->pullAt(AtRequest(w == Window::FreeRunning ? 3 : 4));
    ASSERT_TRUE(w == Window::Monitor  ? monitor.start(messages_)
                : w == Window::Tuning ? tuner.timerTick()
                                      : freeRun.timerTick(plot));
    ASSERT_TRUE(cable_->waitPulled());
    const SteadyTime lost = std::chrono::steady_clock::now();
    while (w == Window::Monitor && state_.link.driveConnected != 0 &&
           MsSince(lost) < kStatusPollWorstMs + kMarginMs) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_EQ(state_.link.driveConnected, w == Window::Monitor ? 0u : 1u);
    std::this_thread::sleep_for(kHoldOpen);  // the worker goes on over the dead line

    const SteadyTime closing = std::chrono::steady_clock::now();
    const uint32_t limitMs = w == Window::Monitor
                                 ? kStatusPollWorstMs
                                 : FailedRequestWorstMs(kCaptureExchangeBudgetMs) +
                                       (w == Window::Tuning ? kFailedOpeningWorstMs : 0);
    if (w == Window::Monitor) {
        EXPECT_TRUE(monitor.stop());
    } else {
        w == Window::Tuning ? tuner.close() : freeRun.close();
    }
    EXPECT_LE(MsSince(closing), limitMs + kMarginMs);
    EXPECT_EQ(records.records, 0);
    EXPECT_TRUE(window.texts().empty());
    EXPECT_EQ(messages_.texts(), w == Window::Tuning ? Texts{"OrderModule Reset Fails!"} : Texts{});
    expectRecovery();
}
INSTANTIATE_TEST_SUITE_P(Windows, WindowUnplugged,
                         ::testing::Values(Window::Tuning, Window::FreeRunning, Window::Monitor),
                         [](const auto& p) { return kWindowNames[int(p.param)]; });

}  // namespace
}  // namespace qx::test
