#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>

#include "capture/CaptureSettingsForm.h"
#include "capture/DecodeSamples.h"
#include "capture/FreeRunEdits.h"
#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "capture/RecordExport.h"
#include "capture/StepMetrics.h"
#include "capture/TuningEdits.h"
#include "capture/TuningStep.h"
#include "cli/CliContext.h"
#include "cli/OptionValue.h"
#include "cli/ResultOutput.h"
#include "cli/SignalStop.h"

namespace qx::cli {

CaptureKind LoopKind(const std::string& name) {
    if (name == "speed") {
        return CaptureKind::Speed;
    }
    if (name == "position") {
        return CaptureKind::Position;
    }
    return CaptureKind::Current;
}

const char* UnitOf(CaptureKind kind) {
    return ForKind(kind, "A", "rpm", "pulses");
}

namespace {

// Longest wait for one record: the longest excitation and sampling the settings allow.
constexpr std::chrono::seconds kRecordWait{120};
constexpr int kMaxRecordWaitSeconds = 86400;
// A wait longer than this is announced on stderr, so a silent terminal is explained.
constexpr std::chrono::seconds kAnnounceWaitAfter{1};
// How soon a stop signal ends the wait for a record.
constexpr std::chrono::milliseconds kStopCheck{100};
// A position level is a 32-bit word in pulses.
constexpr double kMaxPositionLevel = 2147483647.0;

class RecordWaiter final : public SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
    }
    // Waits for the record until `bound` has passed or `stop` is raised, saying on
    // stderr once a second has passed that it waits for `what`.
    bool wait(std::chrono::seconds bound, const char* what, const std::atomic<bool>& stop) {
        const auto start = std::chrono::steady_clock::now();
        bool announced = false;
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_ && !stop) {
            const auto waited = std::chrono::steady_clock::now() - start;
            if (waited >= bound) {
                return false;
            }
            if (!announced && waited >= kAnnounceWaitAfter) {
                announced = true;
                std::cerr << "quendrix-cli: waiting for " << what << " (at most " << bound.count()
                          << " s)" << std::endl;
            }
            cv_.wait_for(lock, kStopCheck);
        }
        return done_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

struct StepOptions {
    std::string loop;
    std::string csv;
    std::optional<std::string> lastingMs;
    std::optional<std::string> range;
    std::optional<float> start;
    std::optional<int32_t> divider;
    std::optional<int32_t> count;
    std::vector<std::string> gains;
    int timeoutSeconds = static_cast<int>(kRecordWait.count());
    bool metrics = false;
    bool json = false;
};

// The step response's metrics (or, with `json`, metrics and samples as JSON) to `out`.
void ReportStep(std::ostream& out, const SharedState& state, const PlotData& plot,
                const RecordShape& shape, bool json) {
    const TuningStep step = TuningStepOf(TuningStepSpecOf(state));
    const std::span<const float> feedback(plot.trace2.data(),
                                          static_cast<std::size_t>(std::max(shape.count, 0)));
    const StepMetrics metrics = ComputeStepMetrics(StepResponseOf(step, feedback));
    out << (json ? StepRecordJson(plot, shape, step, metrics) : MetricsReport(metrics, shape.kind));
}

// Time (ms), command and feedback, one line a point, every number exact.
std::string CsvText(const PlotData& plot, int count, int32_t divider, int32_t baseRateHz,
                    CaptureKind kind) {
    const char* unit = kind == CaptureKind::Current ? "A"
                       : kind == CaptureKind::Speed ? "rpm"
                                                    : "pulse";
    std::string text = std::string("time_ms,command_") + unit + ",feedback_" + unit + "\n";
    const double msPerPoint =
        baseRateHz > 0 ? 1000.0 * divider / static_cast<double>(baseRateHz) : 0.0;
    for (int i = 0; i < count && i < static_cast<int>(kTracePoints); ++i) {
        text += ExactNumber(i * msPerPoint) + "," + ExactNumber(plot.trace1[i]) + "," +
                ExactNumber(plot.trace2[i]) + "\n";
    }
    return text;
}

// The record to stdout, or into the file; a failed write of it fails the command.
int PutCsv(const std::string& path, const std::string& text) {
    if (path.empty()) {
        std::cout << text << std::flush;  // checked when the tool ends
        return kExitOk;
    }
    if (const auto error = WriteResultFile(path, text)) {
        std::cerr << "quendrix-cli: " << *error << std::endl;
        return kExitDriveFailure;
    }
    return kExitOk;
}

// The loop's own limits for the options that depend on it, as its windows keep them.
// Lasting times stop at 65535 ms: the drive counts them in a 16-bit word of ticks.
void CheckStepOptions(const StepOptions& o, LoopCaptureSettings& settings, LoopGains& gains,
                      CaptureKind kind) {
    const CaptureSettingLimits l = SettingLimits(kind);
    if (o.lastingMs) {
        const double longest = std::min<double>(l.lastingCommitMax, kGainWordMax);
        settings.lastingTimeMs = static_cast<int32_t>(CheckedNumber(
            "--lasting-ms", *o.lastingMs, {double(l.lastingCommitMin), longest, true, "ms"}));
    }
    if (o.range) {
        settings.range = static_cast<float>(
            CheckedNumber("--range", *o.range,
                          {l.rangeCommitMin, l.rangeCommitMax, !l.rangeIsFloat, UnitOf(kind)}));
    }
    if (o.count && *o.count > l.countMax) {
        throw CLI::ValidationError(
            "--count", "at most " + std::to_string(l.countMax) + " samples for " + o.loop);
    }
    if (static_cast<int>(o.gains.size()) > GainCount(kind)) {
        throw CLI::ValidationError("--gains", "the " + o.loop + " loop has " +
                                                  std::to_string(GainCount(kind)) + " gain words");
    }
    for (std::size_t k = 0; k < o.gains.size(); ++k) {
        const GainLimits g = LimitsOfGain(kind, static_cast<int>(k));
        gains.words[k] = static_cast<int32_t>(
            CheckedNumber("--gains", o.gains[k], {double(g.minimum), double(g.maximum), true, ""}));
    }
}

int RunStep(CliContext& context, const StepOptions& o, const SignalStop& signals) {
    const CaptureKind kind = LoopKind(o.loop);
    SharedState& state = context.state();
    LoopCaptureSettings& settings = SettingsForLoop(state, kind);
    LoopGains gains;
    CheckStepOptions(o, settings, gains, kind);
    if (!context.connect()) {
        return kExitDriveFailure;
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
    if (signals.raised() || !tuner.open()) {
        tuner.close();
        std::cerr << "quendrix-cli: the drive did not accept the step test" << std::endl;
        return kExitDriveFailure;
    }
    if (!o.gains.empty()) {
        LoopGains g = SharedGains(state, kind);
        for (std::size_t k = 0; k < o.gains.size(); ++k) {
            g.words[k] = gains.words[k];
        }
        StoreGains(state, kind, g);
    }
    tuner.timerTick();
    if (!waiter.wait(std::chrono::seconds(o.timeoutSeconds), "the step test's record",
                     signals.flag())) {
        tuner.close();  // the servo goes off whatever ended the wait
        if (!signals.raised()) {
            std::cerr << "quendrix-cli: no record arrived" << std::endl;
        }
        return kExitDriveFailure;
    }
    PlotData plot;
    tuner.sampleDone(plot, false);
    tuner.close();

    const int count = state.loopCaptureRun.sampleCount;
    const int32_t rate = state.identity.baseSampleRateHz.load();
    if (o.metrics || o.json) {
        ReportStep(std::cout, state, plot, tuner.recordShape(), o.json);
        if (o.csv.empty()) {
            return kExitOk;
        }
    }
    return PutCsv(o.csv, CsvText(plot, count, settings.sampleDivider, rate, kind));
}

struct FreeOptions {
    std::string type;
    std::string trigger = "auto";
    std::optional<std::string> level;
    std::optional<double> offset;
    std::optional<int32_t> rate;
    std::optional<int32_t> count;
    std::string csv;
    int timeoutSeconds = static_cast<int>(kRecordWait.count());
};

int RunFree(CliContext& context, const FreeOptions& o) {
    const CaptureKind kind = LoopKind(o.type);
    if (o.count && *o.count > MaxSampleCount(kind)) {
        throw CLI::ValidationError("--count", "at most " + std::to_string(MaxSampleCount(kind)) +
                                                  " samples for " + o.type);
    }
    // The trigger value as the window keeps it: current within +-100 A, speed a whole
    // number within +-6000 rpm, position a whole number of pulses.
    std::optional<double> level;
    if (o.level) {
        const ValueRange range =
            kind == CaptureKind::Current
                ? ValueRange{-kMaxCurrentTriggerA, kMaxCurrentTriggerA, false, "A"}
            : kind == CaptureKind::Speed
                ? ValueRange{-kMaxSpeedTriggerRpm, kMaxSpeedTriggerRpm, true, "rpm"}
                : ValueRange{-kMaxPositionLevel - 1, kMaxPositionLevel, true, "pulses"};
        level = CheckedNumber("--level", *o.level, range);
    }
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
    if (level) {
        monitor.editTriggerValue(*level);
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
    const std::atomic<bool> never{false};
    if (!waiter.wait(std::chrono::seconds(o.timeoutSeconds),
                     autoRun ? "the record" : "the trigger and its record", never)) {
        monitor.close();
        std::cerr << "quendrix-cli: no record arrived" << std::endl;
        return kExitDriveFailure;
    }
    const RecordShape shape = monitor.thread()->recordShape();
    monitor.sampleDone(plot);
    monitor.close();

    const int32_t divider = monitor.view().sampleDivider;
    const int32_t rate = state.identity.baseSampleRateHz.load();
    return PutCsv(o.csv, CsvText(plot, shape.count, divider, rate, shape.kind));
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
    step->add_option("--lasting-ms", options->lastingMs,
                     "Length of one excitation level (current and position 1 to 65535, speed "
                     "20 to 60000)");
    step->add_option("--range", options->range,
                     "Excitation amplitude (current 0 to 100 A, speed 1 to 6000 rpm, position "
                     "-4000000 to 4000000 pulses)");
    step->add_option("--start", options->start,
                     "Start of sampling as a fraction of the excitation period (0 to 1)")
        ->check(InRange({0, 1, false, ""}));
    step->add_option("--divider", options->divider, "Sample every N base periods (1 to 40)")
        ->check(InRange({kMinSampleDivider, kMaxSampleDivider, true, ""}));
    step->add_option("--count", options->count, "Samples (1 to 1024; 1 to 512 for position)")
        ->check(InRange({1, 1024, true, ""}));
    step->add_option("--gains", options->gains,
                     "Gain words to write instead of the drive's own, in drive order, each "
                     "within its window's limits")
        ->delimiter(',');
    step->add_flag("--metrics", options->metrics,
                   "Print the step metrics (rise, overshoot, settling, steady-state error, peak) "
                   "instead of the samples");
    step->add_flag("--json", options->json,
                   "Print the step, its metrics and the samples as one JSON object");
    step->add_option("--timeout", options->timeoutSeconds,
                     "Longest wait for the record, in seconds (120)")
        ->check(InRange({1, kMaxRecordWaitSeconds, true, "s"}));
    step->callback([&context, &exitCode, options]() {
        const SignalStop signals;
        exitCode = RunStep(context, *options, signals);
        signals.endIfRaised();
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
    freeRun
        ->add_option("--offset", freeOptions->offset,
                     "Share of the record before the trigger (0 to 1, in hundredths)")
        ->check(InRange({0, 1, false, ""}));
    freeRun->add_option("--rate", freeOptions->rate, "Sample rate in Hz (1 to 4000)")
        ->check(InRange({1, 4000, true, "Hz"}));
    freeRun->add_option("--count", freeOptions->count, "Samples (1 to 1024; 1 to 512 for position)")
        ->check(InRange({1, 1024, true, ""}));
    freeRun->add_option("--csv", freeOptions->csv,
                        "Write the record to this file (default stdout)");
    freeRun
        ->add_option("--timeout", freeOptions->timeoutSeconds,
                     "Longest wait for the record, in seconds (120)")
        ->check(InRange({1, kMaxRecordWaitSeconds, true, "s"}));
    freeRun->callback(
        [&context, &exitCode, freeOptions]() { exitCode = RunFree(context, *freeOptions); });
    RegisterTuneCommand(*capture, context, exitCode);
}

}  // namespace qx::cli
