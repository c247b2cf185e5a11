// The full parameter table load (92 range pairs, 24 value reads) from quendrix-drive-sim
// on a pseudo-terminal with wire pacing on, through the real termios port: measured
// time against the time its bytes need on the wire at 115200 baud 8O2.

#include <chrono>
#include <cstdio>
#include <memory>

#include "bench/SimProcess.h"
#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "link/PosixSerialPort.h"
#include "params/GetPnRange.h"
#include "params/ParamSettingCommand.h"
#include "sim/WireTiming.h"
#include "tests/support/RecordingMessageSink.h"

namespace {

// Frame bytes of one exchange: header (4) + payload + checksum (2) each way.
constexpr uint64_t Exchange(uint64_t requestPayload, uint64_t replyWords) {
    return (6 + requestPayload) + (8 + 2 * replyWords);
}

class Counter final : public qx::ParamLoadProgress {
  public:
    void post(qx::ParamLoadStage stage, int) override {
        last = stage;
        ++posts;
    }
    qx::ParamLoadStage last = qx::ParamLoadStage::Failed;
    int posts = 0;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace qx;
    bench::SimProcess sim(argc > 1 ? argv[1] : bench::DriveSimPath(argv[0]), {"--pace"});

    SharedState state;
    const std::string device = sim.device();
    DriveLink link(state.link, steadyClock(),
                   [&](const std::string&) { return std::make_unique<PosixSerialPort>(device); });
    test::RecordingMessageSink messages;
    if (ChooseComPort(link, state.identity, messages, 1) != 1) {
        std::fprintf(stderr, "cannot connect to the drive on %s\n", device.c_str());
        return 1;
    }

    Counter progress;
    const auto start = std::chrono::steady_clock::now();
    const int result = LoadParamTableInline(link, state, progress);
    const double measuredMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (result != kParamLoadLoaded || progress.posts != 117) {
        std::fprintf(stderr, "the load failed (result %d after %d reports)\n", result,
                     progress.posts);
        return 1;
    }

    // Two sessions (ranges, values): the sync burst and the two opening exchanges each.
    const uint64_t sessions = 2 * (kSyncBurstBytes + 2 * Exchange(0, 0));
    const uint64_t ranges = 92 * (Exchange(38, 0) + Exchange(6, 8));
    const uint64_t values = Exchange(6, 2) + 23 * Exchange(6, 8);
    const uint64_t bytes = sessions + ranges + values;
    const double wireMs = sim::WireTimeMs(bytes);
    const double quietMs = 2.0 * kSyncQuietMs;

    std::printf("%-34s %8s %10s %12s %8s\n", "operation", "bytes", "wire ms", "measured ms",
                "ratio");
    std::printf("%-34s %8llu %10.1f %12.1f %8.3f\n", "parameter table load (208 requests)",
                static_cast<unsigned long long>(bytes), wireMs, measuredMs, measuredMs / wireMs);
    std::printf("(of which %.0f ms are the two sessions' quiet time after the sync burst)\n",
                quietMs);
    return 0;
}
