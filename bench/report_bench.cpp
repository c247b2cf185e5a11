// The benchmark report: every long exchange of the tool against quendrix-drive-sim on a
// pseudo-terminal with wire pacing on, through the real termios port. For each one:
// the bytes that crossed the line, the least time they need at 115200 baud 8O2 plus the
// pauses the protocol prescribes (30 ms of quiet after each sync burst's last byte, the
// drive's recording time), the measured time and their ratio.
//
//   bench_report [DRIVE_SIM] [--runs N] [--markdown]

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDrive.h"
#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "capture/TuningRequest.h"
#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "monitor/MonitorThread.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "sim/NormalOperation.h"
#include "sim/ServoLoopModel.h"
#include "sim/WireTiming.h"

namespace {

using namespace qx;
using WallClock = std::chrono::steady_clock;

// Bytes of one exchange: the request frame around its payload, the reply frame around
// its acknowledgement and data words.
constexpr uint64_t Exchange(uint64_t requestPayload, uint64_t replyWords = 0) {
    return (6 + requestPayload) + (8 + 2 * replyWords);
}

// The bytes of reading `words` ring words in chunks.
uint64_t ReadOutBytes(uint64_t words) {
    uint64_t bytes = 0;
    for (uint64_t left = words; left > 0;) {
        const uint64_t n = std::min<uint64_t>(left, kReadOutChunkWords);
        bytes += Exchange(6, n);
        left -= n;
    }
    return bytes;
}

class Waiter final : public SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            at_ = WallClock::now();
            ++done_;
        }
        cv_.notify_all();
    }
    // The instant of the n-th record; false when it did not come within 30 s.
    bool waitFor(int n, WallClock::time_point& at) {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool came = cv_.wait_for(lock, std::chrono::seconds(30), [&] { return done_ >= n; });
        at = at_;
        return came;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    WallClock::time_point at_;
    int done_ = 0;
};

class NoProgress final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage stage, int) override { last = stage; }
    ParamLoadStage last = ParamLoadStage::Failed;
};

// One measured run of an operation.
struct Run {
    bool ok = false;
    uint64_t bytes = 0;
    uint64_t syncBursts = 0;
    double pausesMs = 0.0;  // prescribed: quiet after sync bursts, recording
    double measuredMs = 0.0;
    // Every byte on the wire one after another, and each quiet after the last byte of
    // its burst.
    double limitMs() const { return sim::WireTimeMs(bytes) + pausesMs; }
    double ratio() const { return measuredMs / limitMs(); }
};

struct Row {
    std::string operation;
    std::vector<Run> runs;
    // The run with the median ratio.
    Run median() const {
        std::vector<Run> sorted = runs;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Run& a, const Run& b) { return a.ratio() < b.ratio(); });
        return sorted[sorted.size() / 2];
    }
};

// Times `op` and counts what it put on the wire; the pauses are the sync bursts' quiet.
Run Measure(bench::BenchDrive& d, const std::function<bool()>& op) {
    const auto before = d.wire.snapshot();
    const auto start = WallClock::now();
    Run run;
    run.ok = op();
    run.measuredMs = bench::MsSince(start);
    const auto after = d.wire.snapshot();
    run.bytes = after.bytes - before.bytes;
    run.syncBursts = after.syncBursts - before.syncBursts;
    run.pausesMs = static_cast<double>(run.syncBursts * kSyncQuietMs);
    return run;
}

class Report {
  public:
    Report(bench::BenchDrive& drive, int runs) : d_(drive), runs_(runs) {}

    bool identification() {
        return repeat("identification (port pick)", [&] {
            return Measure(
                d_, [&] { return ChooseComPort(d_.link, d_.state.identity, d_.messages, 1) == 1; });
        });
    }

    bool tableLoad() {
        return repeat("parameter table load", [&] {
            return Measure(d_, [&] {
                NoProgress progress;
                return LoadParamTableInline(d_.link, d_.state, progress) == kParamLoadLoaded;
            });
        });
    }

    bool upload() {
        return repeat("parameters upload", [&] {
            std::string last;
            return Measure(d_, [&] {
                return ParametersUploadCommand(
                           d_.link, image_, d_.messages, [&] { return path_; }, last) ==
                       CommandOutcome::Succeeded;
            });
        });
    }

    bool download() {
        return repeat("parameters download", [&] {
            std::string last;
            return Measure(d_, [&] {
                return ParametersDownloadCommand(
                           d_.link, image_, d_.messages, [&] { return path_; }, last) ==
                       CommandOutcome::Succeeded;
            });
        });
    }

    bool eepromSave() {
        return repeat("save to EEPROM", [&] {
            return Measure(d_, [&] {
                return SaveToEepromCommand(d_.link, d_.messages) == CommandOutcome::Succeeded;
            });
        });
    }

    bool tuningCapture();
    bool freeCapture();
    bool monitorPolls();

    void print(bool markdown) const;
    void setPath(std::string path) { path_ = std::move(path); }

  private:
    bool repeat(const std::string& name, const std::function<Run()>& once) {
        Row row{name, {}};
        for (int k = 0; k < runs_; ++k) {
            row.runs.push_back(once());
            if (!row.runs.back().ok) {
                std::fprintf(stderr, "%s failed (run %d)\n", name.c_str(), k + 1);
                return false;
            }
        }
        rows_.push_back(std::move(row));
        return true;
    }

    bench::BenchDrive& d_;
    int runs_;
    std::vector<Row> rows_;
    ParamImage image_{};
    std::string path_;
    double monitorPollsPerSecond_ = 0.0;
    double monitorLimitPerSecond_ = 0.0;
};

bool Report::tuningCapture() {
    constexpr int kPoints = 1024;
    d_.state.currentCaptureSettings.sampleCount = kPoints;
    d_.state.currentCaptureSettings.sampleDivider = 1;
    Waiter waiter;
    LoopTuner tuner(d_.state, d_.link, CaptureKind::Current, d_.messages, d_.messages, waiter);
    if (!tuner.open()) {
        std::fprintf(stderr, "the tuning opening failed\n");
        return false;
    }
    // The least a cycle needs: the bytes before the drive starts recording, the recording
    // itself, then one poll that finds it done and the read-out. The polls while the
    // drive records share the line with the recording and are not counted.
    const LoopCaptureRun& run = d_.state.loopCaptureRun;
    sim::StepTestSpec spec;
    spec.sampleStartTicks = static_cast<uint32_t>(run.triggerPhase) *
                                static_cast<uint32_t>(d_.state.loopCaptureRequest.excitationTicks) +
                            static_cast<uint32_t>(run.triggerStartTicks);
    spec.sampleCount = kPoints;
    spec.divider = 1;
    const double recordingMs = static_cast<double>(sim::RecordingTimeUs(spec)) / 1000.0;
    // Reset, set-up, the gains (14-byte payload), then the start request (12 bytes)
    // whose reply already runs during the recording.
    const uint64_t before = kSyncBurstBytes + Exchange(0) + Exchange(0) + Exchange(14) + (6 + 12);
    const uint64_t after = Exchange(0) + ReadOutBytes(2 * kPoints);

    int done = 0;
    const bool ok = repeat("tuning capture, 1024 current points", [&] {
        Run r;
        const auto start = WallClock::now();
        tuner.thread()->postStart();
        WallClock::time_point end;
        r.ok = waiter.waitFor(++done, end);
        r.measuredMs = std::chrono::duration<double, std::milli>(end - start).count();
        r.bytes = before + after;
        r.syncBursts = 1;
        r.pausesMs = kSyncQuietMs + recordingMs;
        return r;
    });
    tuner.close();
    return ok;
}

bool Report::freeCapture() {
    Waiter waiter;
    FreeRunMonitor monitor(d_.state, d_.link, d_.messages, waiter);
    if (!monitor.open() || !monitor.capturing()) {
        std::fprintf(stderr, "the free-running window did not open\n");
        return false;
    }
    PlotData plot;
    int done = 0;
    const bool ok = repeat("auto-run free capture", [&] {
        Run r;
        const FreeRunView& v = monitor.view();
        const auto start = WallClock::now();
        // The first tick after opening starts the auto run; later ones only when the
        // request changed, so each run asks afresh.
        if (done == 0) {
            monitor.timerTick(plot);
        } else {
            monitor.thread()->postStart();
        }
        WallClock::time_point end;
        r.ok = waiter.waitFor(++done, end);
        r.measuredMs = std::chrono::duration<double, std::milli>(end - start).count();
        const auto points = static_cast<uint64_t>(v.sampleCount);
        const auto divider = static_cast<uint64_t>(std::max(v.sampleDivider, 1));
        const uint64_t perPoint = WordsPerPoint(v.kind);
        // Reset, set-up and the start request (14-byte payload; its reply runs during
        // the recording), then the poll that finds it done and the read-out.
        r.bytes = kSyncBurstBytes + Exchange(0) + Exchange(0) + (6 + 14) + Exchange(0) +
                  ReadOutBytes(points * perPoint);
        // The drive records the first point at arming and one every `divider` ticks.
        r.syncBursts = 1;
        r.pausesMs = kSyncQuietMs + static_cast<double>((points - 1) * divider) * 1000.0 /
                                        static_cast<double>(sim::kTicksPerSecond);
        return r;
    });
    if (ok) {
        const FreeRunView& v = monitor.view();
        std::printf("(free capture: %d %s points, divider %d)\n", v.sampleCount,
                    v.kind == CaptureKind::Current ? "current" : "other", v.sampleDivider);
    }
    monitor.close();
    return ok;
}

bool Report::monitorPolls() {
    constexpr auto kRunTime = std::chrono::seconds(5);
    // One poll: the sync burst, its quiet, then reset, set-up (6-byte requests, 8-byte
    // replies) and the status poll (6-byte request, 36-byte reply).
    constexpr uint64_t kPollBytes = kSyncBurstBytes + 6 + 8 + 6 + 8 + 6 + 36;
    MonitorThread monitor(d_.link, d_.state.driveStatus);
    if (!monitor.start(d_.messages)) {
        std::fprintf(stderr, "the monitor did not start\n");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const bool ok = repeat("monitor poll (polls per second)", [&] {
        Run r;
        const auto start = WallClock::now();
        const uint64_t polls0 = monitor.pollCount();
        std::this_thread::sleep_for(kRunTime);
        const double polls = static_cast<double>(monitor.pollCount() - polls0);
        r.measuredMs = bench::MsSince(start) / polls;
        r.bytes = kPollBytes;
        r.syncBursts = 1;
        r.pausesMs = kSyncQuietMs;
        r.ok = monitor.lastStatus() == kStatusOk && polls > 0;
        return r;
    });
    return monitor.stop() && ok;
}

void Report::print(bool markdown) const {
    const char* const header[] = {"operation", "bytes", "limit ms", "measured ms", "ratio"};
    if (markdown) {
        std::printf("| %s | %s | %s | %s | %s |\n|---|---:|---:|---:|---:|\n", header[0], header[1],
                    header[2], header[3], header[4]);
    } else {
        std::printf("%-38s %8s %10s %12s %7s\n", header[0], header[1], header[2], header[3],
                    header[4]);
    }
    for (const Row& row : rows_) {
        const Run m = row.median();
        const std::string& name = row.operation;
        char limitText[64];
        char measuredText[64];
        std::snprintf(limitText, sizeof limitText, "%.1f", m.limitMs());
        std::snprintf(measuredText, sizeof measuredText, "%.1f", m.measuredMs);
        if (row.operation.rfind("monitor", 0) == 0) {
            std::snprintf(limitText, sizeof limitText, "%.1f/s", 1000.0 / m.limitMs());
            std::snprintf(measuredText, sizeof measuredText, "%.1f/s", 1000.0 / m.measuredMs);
        }
        if (markdown) {
            std::printf("| %s | %llu | %s | %s | %.3f |\n", name.c_str(),
                        static_cast<unsigned long long>(m.bytes), limitText, measuredText,
                        m.ratio());
        } else {
            std::printf("%-38s %8llu %10s %12s %7.3f\n", name.c_str(),
                        static_cast<unsigned long long>(m.bytes), limitText, measuredText,
                        m.ratio());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    bool markdown = false;
    std::vector<char*> rest = {argv[0]};
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--runs") == 0 && k + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++k]));
        } else if (std::strcmp(argv[k], "--markdown") == 0) {
            markdown = true;
        } else {
            rest.push_back(argv[k]);
        }
    }
    bench::BenchDrive drive(static_cast<int>(rest.size()), rest.data());
    if (!drive.openPort()) {
        return 1;
    }
    const auto dir =
        std::filesystem::temp_directory_path() / ("quendrix-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);

    Report report(drive, runs);
    report.setPath((dir / "drive.par").string());
    const bool ok = report.identification() && report.tableLoad() && report.upload() &&
                    report.download() && report.eepromSave() && report.tuningCapture() &&
                    report.freeCapture() && report.monitorPolls();
    std::filesystem::remove_all(dir);
    report.print(markdown);
    if (!ok) {
        for (const std::string& text : drive.messages.texts()) {
            std::fprintf(stderr, "message: %s\n", text.c_str());
        }
        return 1;
    }
    std::printf(
        "limit: the bytes' time at 115200 baud 8O2 (12 bits a byte) plus the prescribed "
        "pauses (30 ms after each sync burst has left, the drive's recording); median of %d "
        "runs\n",
        runs);
    return 0;
}
