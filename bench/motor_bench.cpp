// The motor setup against quendrix-drive-sim on a pseudo-terminal with wire pacing on,
// through the real termios port: what one Encoder Fixing tick costs against its 200 ms
// period, and how long a whole automatic match takes on the simulated motor.

#include <chrono>
#include <cstdio>
#include <memory>

#include "bench/BenchDrive.h"
#include "link/DriveCommands.h"
#include "motor/AutoMatch.h"
#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "sim/SimMotor.h"

namespace {

class Answering final : public qx::AutoMatchObserver {
  public:
    int reports = 0;
    void report(int, const qx::MotorFields&) override { ++reports; }
    std::optional<int32_t> askMagnetDirection() override { return 0; }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace qx;
    constexpr int kTicks = 50;
    bench::BenchDrive drive(argc, argv);
    if (!drive.openPort()) {
        return 1;
    }
    DriveLink& link = drive.link;

    Session session(link);
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kTicks; ++k) {
        if (ReadRotorPosition(session) == kRotorPositionUnknown) {
            std::fprintf(stderr, "tick %d: no position\n", k);
            return 1;
        }
    }
    const double tickMs = bench::MsSince(start) / kTicks;

    AutoMatchInput input;
    SetMotorDefaults(input.fields);
    input.fields.ratedCurrent = 2.5f;
    SnapRatedCurrent(input.fields);
    Answering observer;
    const std::atomic<bool> stop{false};
    start = std::chrono::steady_clock::now();
    const AutoMatchResult r = AutoMatch(link, input, observer, drive.messages, stop);
    const double matchMs = bench::MsSince(start);
    if (!r.succeeded()) {
        std::fprintf(stderr, "match failed with status %u\n", r.status);
        return 1;
    }

    std::printf("%-44s %12s %12s\n", "operation", "measured ms", "budget ms");
    std::printf("%-44s %12.1f %12u\n", "Encoder Fixing tick (opening + 2-word read)", tickMs,
                kRotorPollPeriodMs);
    std::printf("%-44s %12.1f %12s\n", "Auto Match, simulated motor (Z type 0)", matchMs, "-");
    std::printf("  of which fixed waits: %u ms settle, %u ms simulated pole-pair test\n",
                kDirectionSettleMs, sim::SimMotorSpec{}.polePairTestMs);
    return 0;
}
