#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>

#include "capture/DecodeSamples.h"
#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "cli/CliContext.h"

namespace qx::cli {

namespace {

// Longest wait for one record: the longest excitation and sampling the settings allow.
constexpr std::chrono::seconds kRecordWait{120};

class RecordWaiter final : public SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
    }
    bool wait(std::chrono::seconds bound) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, bound, [this] { return done_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

struct StepOptions {
    std::string loop;
    std::string csv;
    std::optional<int32_t> lastingMs;
    std::optional<float> range;
    std::optional<float> start;
    std::optional<int32_t> divider;
    std::optional<int32_t> count;
    std::vector<int32_t> gains;
};

CaptureKind LoopKind(const std::string& name) {
    if (name == "speed") {
        return CaptureKind::Speed;
    }
    if (name == "position") {
        return CaptureKind::Position;
    }
    return CaptureKind::Current;
}

void WriteCsv(std::ostream& out, const PlotData& plot, int count, int32_t divider,
              int32_t baseRateHz, CaptureKind kind) {
    const char* unit = kind == CaptureKind::Current ? "A"
                       : kind == CaptureKind::Speed ? "rpm"
                                                    : "pulse";
    out << "time_ms,command_" << unit << ",feedback_" << unit << "\n";
    const double msPerPoint =
        baseRateHz > 0 ? 1000.0 * divider / static_cast<double>(baseRateHz) : 0.0;
    char line[96];
    for (int i = 0; i < count && i < static_cast<int>(kTracePoints); ++i) {
        std::snprintf(line, sizeof line, "%.3f,%.6g,%.6g\n", i * msPerPoint,
                      static_cast<double>(plot.trace1[i]), static_cast<double>(plot.trace2[i]));
        out << line;
    }
}

int RunStep(CliContext& context, const StepOptions& o) {
    const CaptureKind kind = LoopKind(o.loop);
    if (!context.connect()) {
        return kExitDriveFailure;
    }
    SharedState& state = context.state();
    LoopCaptureSettings& settings = SettingsForLoop(state, kind);
    if (o.lastingMs) {
        settings.lastingTimeMs = *o.lastingMs;
    }
    if (o.range) {
        settings.range = *o.range;
    }
    if (o.start) {
        settings.samplePosition = *o.start;
    }
    if (o.divider) {
        settings.sampleDivider = *o.divider;
    }
    if (o.count) {
        settings.sampleCount = *o.count;
    }

    RecordWaiter waiter;
    LoopTuner tuner(state, context.link(), kind, context.messages(), context.messages(), waiter);
    if (!tuner.open()) {
        std::cerr << "quendrix-cli: the drive did not accept the step test" << std::endl;
        return kExitDriveFailure;
    }
    if (!o.gains.empty()) {
        LoopGains g = SharedGains(state, kind);
        for (std::size_t k = 0; k < o.gains.size() && k < g.words.size(); ++k) {
            g.words[k] = o.gains[k];
        }
        StoreGains(state, kind, g);
    }
    tuner.timerTick();
    if (!waiter.wait(kRecordWait)) {
        tuner.close();
        std::cerr << "quendrix-cli: no record arrived" << std::endl;
        return kExitDriveFailure;
    }
    PlotData plot;
    tuner.sampleDone(plot, false);
    tuner.close();

    const int count = state.loopCaptureRun.sampleCount;
    const int32_t rate = state.identity.baseSampleRateHz.load();
    if (o.csv.empty()) {
        WriteCsv(std::cout, plot, count, settings.sampleDivider, rate, kind);
        return kExitOk;
    }
    std::ofstream file(o.csv);
    WriteCsv(file, plot, count, settings.sampleDivider, rate, kind);
    if (!file) {
        std::cerr << "quendrix-cli: cannot write " << o.csv << std::endl;
        return kExitDriveFailure;
    }
    return kExitOk;
}

struct FreeOptions {
    std::string type;
    std::string trigger = "auto";
    std::optional<double> level;
    std::optional<double> offset;
    std::optional<int32_t> rate;
    std::optional<int32_t> count;
    std::string csv;
    int timeoutSeconds = static_cast<int>(kRecordWait.count());
};

int RunFree(CliContext& context, const FreeOptions& o) {
    const CaptureKind kind = LoopKind(o.type);
    if (!context.connect()) {
        return kExitDriveFailure;
    }
    SharedState& state = context.state();
    state.freeRunSettings.monitorType = static_cast<int32_t>(kind);
    RecordWaiter waiter;
    FreeRunMonitor monitor(state, context.link(), context.messages(), waiter);
    if (!monitor.open() || !monitor.capturing()) {
        std::cerr << "quendrix-cli: no capture worker" << std::endl;
        return kExitDriveFailure;
    }
    const bool autoRun = o.trigger == "auto";
    monitor.chooseAutoRun(autoRun);
    if (!autoRun) {
        monitor.chooseEdge(o.trigger == "falling" ? kTriggerFalling : kTriggerRising);
    }
    if (o.level) {
        monitor.editTriggerValue(*o.level);
    }
    if (o.offset) {
        monitor.editWaveOffset(*o.offset);
    }
    if (o.rate) {
        monitor.editSampleRate(*o.rate);
    }
    if (o.count) {
        monitor.editSampleCount(*o.count);
    }
    PlotData plot;
    if (autoRun) {
        monitor.timerTick(plot);
    } else {
        monitor.refresh();
    }
    if (!waiter.wait(std::chrono::seconds(o.timeoutSeconds))) {
        monitor.close();
        std::cerr << "quendrix-cli: no record arrived" << std::endl;
        return kExitDriveFailure;
    }
    const RecordShape shape = monitor.thread()->recordShape();
    monitor.sampleDone(plot);
    monitor.close();

    const int32_t divider = monitor.view().sampleDivider;
    const int32_t rate = state.identity.baseSampleRateHz.load();
    if (o.csv.empty()) {
        WriteCsv(std::cout, plot, shape.count, divider, rate, shape.kind);
        return kExitOk;
    }
    std::ofstream file(o.csv);
    WriteCsv(file, plot, shape.count, divider, rate, shape.kind);
    if (!file) {
        std::cerr << "quendrix-cli: cannot write " << o.csv << std::endl;
        return kExitDriveFailure;
    }
    return kExitOk;
}

}  // namespace

void RegisterCaptureCommands(CLI::App& app, CliContext& context, int& exitCode) {
    CLI::App* capture = app.add_subcommand("capture", "Capture waveforms inside the drive");
    capture->require_subcommand(1);
    auto options = std::make_shared<StepOptions>();
    CLI::App* step = capture->add_subcommand(
        "step",
        "Run one step test of a control loop as the loop tuning window does and write time "
        "(ms), command and feedback in display units (A, rpm, pulses)");
    step->add_option("loop", options->loop, "current, speed or position")
        ->required()
        ->check(CLI::IsMember({"current", "speed", "position"}));
    step->add_option("--csv", options->csv, "Write the record to this file (default stdout)");
    step->add_option("--lasting-ms", options->lastingMs, "Length of one excitation level");
    step->add_option("--range", options->range, "Excitation amplitude (A, rpm or pulses)");
    step->add_option("--start", options->start,
                     "Start of sampling as a fraction of the excitation period (0 to 1)")
        ->check(CLI::Range(0.0f, 1.0f));
    step->add_option("--divider", options->divider, "Sample every N base periods (1 to 40)")
        ->check(CLI::Range(1, 40));
    step->add_option("--count", options->count, "Samples (1 to 1024; 1 to 512 for position)")
        ->check(CLI::Range(1, 1024));
    step->add_option("--gains", options->gains,
                     "Gain words to write instead of the drive's own, in drive order")
        ->delimiter(',');
    step->callback([&context, &exitCode, options]() {
        if (options->loop == "position" && options->count && *options->count > 512) {
            throw CLI::ValidationError("--count", "at most 512 samples for position");
        }
        exitCode = RunStep(context, *options);
    });

    auto freeOptions = std::make_shared<FreeOptions>();
    CLI::App* freeRun = capture->add_subcommand(
        "free",
        "Capture current, speed or position of the running drive as the normal operation "
        "monitor does, at once or on a trigger edge, and write time (ms), command and feedback");
    freeRun->add_option("type", freeOptions->type, "current, speed or position")
        ->required()
        ->check(CLI::IsMember({"current", "speed", "position"}));
    freeRun->add_option("--trigger", freeOptions->trigger, "auto (default), rising or falling")
        ->check(CLI::IsMember({"auto", "rising", "falling"}));
    freeRun->add_option("--level", freeOptions->level, "Trigger value (A, rpm or pulses)");
    freeRun->add_option("--offset", freeOptions->offset,
                        "Share of the record before the trigger (0 to 1, in hundredths)");
    freeRun->add_option("--rate", freeOptions->rate, "Sample rate in Hz (1 to 4000)")
        ->check(CLI::Range(1, 4000));
    freeRun->add_option("--count", freeOptions->count, "Samples (1 to 1024; 1 to 512 for position)")
        ->check(CLI::Range(1, 1024));
    freeRun->add_option("--csv", freeOptions->csv,
                        "Write the record to this file (default stdout)");
    freeRun
        ->add_option("--timeout", freeOptions->timeoutSeconds,
                     "Longest wait for the record, in seconds")
        ->check(CLI::Range(1, 86400));
    freeRun->callback([&context, &exitCode, freeOptions]() {
        if (freeOptions->type == "position" && freeOptions->count && *freeOptions->count > 512) {
            throw CLI::ValidationError("--count", "at most 512 samples for position");
        }
        exitCode = RunFree(context, *freeOptions);
    });
    RegisterTuneCommand(*capture, context, exitCode);
}

}  // namespace qx::cli
