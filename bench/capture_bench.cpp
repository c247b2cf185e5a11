// One tuning capture cycle of 1024 current points against quendrix-drive-sim on a
// pseudo-terminal with wire pacing, through the real termios port: the time from the
// request to the finished record, against what the bytes on the wire and the drive's
// recording need at the least.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "bench/SimProcess.h"
#include "capture/LoopTuner.h"
#include "capture/TuningRequest.h"
#include "link/ConnectDrive.h"
#include "link/PosixSerialPort.h"
#include "sim/ServoLoopModel.h"
#include "sim/WireTiming.h"
#include "tests/support/RecordingMessageSink.h"

namespace {

using WallClock = std::chrono::steady_clock;

class Waiter final : public qx::SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            at_ = WallClock::now();
            ++done_;
        }
        cv_.notify_all();
    }
    WallClock::time_point waitFor(int n) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait_for(lock, std::chrono::seconds(30), [&] { return done_ >= n; });
        return at_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    WallClock::time_point at_;
    int done_ = 0;
};

// Request and reply bytes of one exchange: 6 bytes of frame around each payload, and a
// reply of header, acknowledgement, data and checksum.
uint64_t Exchange(uint64_t payloadBytes, uint64_t replyWords = 0) {
    return (6 + payloadBytes) + (8 + 2 * replyWords);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qx;
    constexpr int kCycles = 9;
    constexpr int kPoints = 1024;
    bench::SimProcess sim(argc > 1 ? argv[1] : bench::DriveSimPath(argv[0]), {"--pace"});

    SharedState state;
    ApplyStartupValues(state);
    const std::string device = sim.device();
    DriveLink link(state.link, steadyClock(),
                   [&](const std::string&) { return std::make_unique<PosixSerialPort>(device); });
    test::RecordingMessageSink messages;
    if (link.OpenDrivePort(messages, 1) != 1 || ConnectDrive(link, state.identity, messages) != 1) {
        std::fprintf(stderr, "cannot connect to %s\n", device.c_str());
        return 1;
    }
    state.currentCaptureSettings.sampleCount = kPoints;
    state.currentCaptureSettings.sampleDivider = 1;

    Waiter waiter;
    LoopTuner tuner(state, link, CaptureKind::Current, messages, messages, waiter);
    if (!tuner.open()) {
        std::fprintf(stderr, "the tuning opening failed\n");
        return 1;
    }

    // The least the cycle needs: the bytes before the drive starts recording, the
    // recording itself, then one poll that finds it done and the read-out.
    const LoopCaptureRun& run = state.loopCaptureRun;
    sim::StepTestSpec spec;
    spec.sampleStartTicks = static_cast<uint32_t>(run.triggerPhase) *
                                static_cast<uint32_t>(state.loopCaptureRequest.excitationTicks) +
                            static_cast<uint32_t>(run.triggerStartTicks);
    spec.sampleCount = kPoints;
    spec.divider = 1;
    const double recordingMs = static_cast<double>(sim::RecordingTimeUs(spec)) / 1000.0;
    const uint64_t words = 2 * kPoints;
    uint64_t readOut = 0;
    for (uint64_t left = words; left > 0;) {
        const uint64_t n = std::min<uint64_t>(left, kReadOutChunkWords);
        readOut += Exchange(6, n);
        left -= n;
    }
    const uint64_t before = 255 + Exchange(0) + Exchange(0) + Exchange(14) + (6 + 12);
    const uint64_t after = Exchange(0) + readOut;
    const double idealMs = sim::WireTimeMs(before + after) + recordingMs;

    std::vector<double> ratios;
    std::printf("%-34s %8s %10s %10s %12s %8s\n", "cycle", "bytes", "wire ms", "record ms",
                "measured ms", "ratio");
    for (int k = 1; k <= kCycles; ++k) {
        const auto start = WallClock::now();
        tuner.thread()->postStart();
        const auto end = waiter.waitFor(k);
        const double measuredMs = std::chrono::duration<double, std::milli>(end - start).count();
        ratios.push_back(measuredMs / idealMs);
        std::printf("%-34s %8llu %10.1f %10.1f %12.1f %8.3f\n", "tuning capture, 1024 current pts",
                    static_cast<unsigned long long>(before + after),
                    sim::WireTimeMs(before + after), recordingMs, measuredMs, ratios.back());
    }
    tuner.close();
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "median ratio %.3f (goal <= 1.10; the 30 ms quiet after the sync burst is "
        "counted as overhead)\n",
        ratios[ratios.size() / 2]);
    return 0;
}
