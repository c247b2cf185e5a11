// The monitor worker against quendrix-drive-sim on a pseudo-terminal with wire pacing
// on, through the real termios port: polls per second as a share of what the wire
// allows, and the CPU the polling costs.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "bench/SimProcess.h"
#include "link/PosixSerialPort.h"
#include "monitor/MonitorThread.h"
#include "monitor/StatusPoll.h"
#include "sim/WireTiming.h"
#include "tests/support/RecordingMessageSink.h"

namespace {

constexpr auto kRunTime = std::chrono::seconds(8);
// The bytes of one poll's three exchanges: reset and set-up (6-byte requests, 8-byte
// replies) and the status poll (a 6-byte request, its 36-byte reply).
constexpr uint64_t kExchangeBytes = 6 + 8 + 6 + 8 + 6 + 36;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qx;
    bench::SimProcess sim(argc > 1 ? argv[1] : bench::DriveSimPath(argv[0]), {"--pace"});

    SharedState state;
    const std::string device = sim.device();
    DriveLink link(state.link, steadyClock(),
                   [&](const std::string&) { return std::make_unique<PosixSerialPort>(device); });
    test::RecordingMessageSink messages;
    if (link.OpenDrivePort(messages, 1) != 1) {
        std::fprintf(stderr, "cannot open %s\n", device.c_str());
        return 1;
    }

    MonitorThread monitor(link, state.driveStatus);
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!monitor.start(messages)) {
        std::fprintf(stderr, "the monitor did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(kRunTime);
    if (!monitor.stop()) {
        std::fprintf(stderr, "the monitor did not stop in time\n");
        return 1;
    }
    const double wallS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuS = CpuSeconds() - cpuBefore;
    if (monitor.lastStatus() != kStatusOk || state.link.driveConnected != 1) {
        std::fprintf(stderr, "polls failed (last status %u)\n", monitor.lastStatus());
        return 1;
    }

    const double polls = static_cast<double>(monitor.pollCount());
    const double measuredMs = wallS * 1000.0 / polls;
    // The limit of one poll: the burst, the quiet time and the three exchanges in turn.
    const double limitMs =
        sim::WireTimeMs(kSyncBurstBytes) + kSyncQuietMs + sim::WireTimeMs(kExchangeBytes);
    // The same, for a port whose write returns once the burst is queued: the quiet time
    // then runs while the burst is still on the wire.
    const double overlappedMs =
        std::max(sim::WireTimeMs(kSyncBurstBytes), static_cast<double>(kSyncQuietMs)) +
        sim::WireTimeMs(kExchangeBytes);

    std::printf("%-34s %10s %12s %10s\n", "figure", "ms/poll", "polls/s", "ratio");
    std::printf("%-34s %10.2f %12.2f %10s\n", "measured", measuredMs, 1000.0 / measuredMs, "");
    std::printf("%-34s %10.2f %12.2f %10.3f\n", "wire limit (burst + quiet + 3 x)", limitMs,
                1000.0 / limitMs, limitMs / measuredMs);
    std::printf("%-34s %10.2f %12.2f %10.3f\n", "wire limit, quiet over the burst", overlappedMs,
                1000.0 / overlappedMs, overlappedMs / measuredMs);
    std::printf("polls %.0f in %.2f s; CPU of the polling process %.1f %% of one core\n", polls,
                wallS, 100.0 * cpuS / wallS);
    return 0;
}
