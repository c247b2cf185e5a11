// 200 reads of 120 words from quendrix-drive-sim on a pseudo-terminal with wire pacing
// on, through the real termios port: how close the link comes to the wire's limit.

#include <chrono>
#include <cstdio>
#include <memory>

#include "bench/BenchDrive.h"
#include "link/DriveCommands.h"
#include "sim/WireTiming.h"

int main(int argc, char** argv) {
    using namespace qx;
    constexpr int kReads = 200;
    constexpr uint8_t kWords = 120;
    bench::BenchDrive drive(argc, argv);
    if (!drive.openPort()) {
        return 1;
    }
    DriveLink& link = drive.link;
    Session session(link);
    if (session.open() != kStatusOk) {
        std::fprintf(stderr, "session opening failed\n");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kReads; ++k) {
        if (ReadWords(link, session.next(), 0x0200, kWords, kBudgetShortMs) != kStatusOk) {
            std::fprintf(stderr, "read %d failed\n", k);
            return 1;
        }
    }
    const double measuredMs = bench::MsSince(start);
    const uint64_t bytes = kReads * (12ull + 8ull + 2ull * kWords);
    const double wireMs = sim::WireTimeMs(bytes);
    std::printf("%-28s %10s %12s %12s %8s\n", "operation", "bytes", "wire ms", "measured ms",
                "ratio");
    std::printf("%-28s %10llu %12.1f %12.1f %8.3f\n", "200 x ReadWords(120)",
                static_cast<unsigned long long>(bytes), wireMs, measuredMs, measuredMs / wireMs);
    return 0;
}
