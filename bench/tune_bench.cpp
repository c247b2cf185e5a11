// The tuning assistant on the simulated drive, in virtual time: for each loop, each
// simulated motor and two deliberately poor starts (sluggish, oscillating), the starting
// metrics, the metrics of the gains found and the captures it took.
//
//   build/bench/bench_tune [--markdown]

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/SharedState.h"
#include "capture/GainSearchRun.h"
#include "capture/TuningAssistant.h"
#include "link/ConnectDrive.h"
#include "link/DriveLink.h"
#include "sim/CaptureFeatures.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"

namespace {

using namespace qx;

class QuietSink final : public MessageSink {
  public:
    void show(const std::string& text, const std::string& title) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
};

struct Start {
    const char* name;
    CaptureKind kind;
    LoopGains gains;  // the knobs' words; the others stay the drive's
};

// Small steps keep the speed and position loops clear of the current and speed limits.
constexpr float kSpeedRangeRpm = 100.0f;
constexpr float kPositionRangePulses = 2000.0f;

const Start kStarts[] = {
    {"sluggish", CaptureKind::Current, {{0, 0, 0, 50}, 4}},
    {"oscillating", CaptureKind::Current, {{0, 0, 0, 65535}, 4}},
    {"sluggish", CaptureKind::Speed, {{100, 400, 0, 0}, 4}},
    {"oscillating", CaptureKind::Speed, {{100, 5, 0, 0}, 4}},
    {"sluggish", CaptureKind::Position, {{100, 50, 0, 0}, 3}},
    {"oscillating", CaptureKind::Position, {{12800, 0, 0, 0}, 3}},
};

const char* LoopName(CaptureKind kind) {
    return ForKind(kind, "current", "speed", "position");
}

std::string Metrics(const Trial& t) {
    const StepMetrics& m = t.outcome.metrics;
    char settling[32] = "not reached";
    if (m.settled) {
        std::snprintf(settling, sizeof settling, "%.1f ms", m.settlingTimeMs);
    }
    char line[160];
    std::snprintf(line, sizeof line, "rise %.3g ms, overshoot %.1f %%, settling %s, %s",
                  m.riseTimeMs, m.overshootPercent, settling, VerdictText(t.verdict));
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    const bool markdown = argc > 1 && std::strcmp(argv[1], "--markdown") == 0;
    if (markdown) {
        std::printf(
            "| loop | motor | start | starting gains, metrics | gains found, metrics | "
            "captures | end |\n|---|---|---|---|---|---:|---|\n");
    }
    for (const sim::SimLoad& load : sim::SimLoads()) {
        for (const Start& start : kStarts) {
            VirtualClock clock(1'000'000);
            SharedState state;
            ApplyStartupValues(state);
            state.speedCaptureSettings.range = kSpeedRangeRpm;
            state.positionCaptureSettings.range = kPositionRangePulses;
            sim::SimOptions options;
            options.load = load.motor;
            auto drive = sim::MakeSimDrive(options, clock.nowUs());
            const uint16_t address = GainAddress(start.kind);
            for (int k = 0; k < start.gains.count; ++k) {
                if (start.gains.words[static_cast<std::size_t>(k)] != 0) {
                    drive->write(
                        address + static_cast<uint16_t>(k),
                        static_cast<uint16_t>(start.gains.words[static_cast<std::size_t>(k)]));
                }
            }
            DriveLink link(state.link, clock, [&](const std::string&) {
                return std::make_unique<sim::SimPort>(drive, clock);
            });
            QuietSink messages;
            if (link.OpenDrivePort(messages, 1) != 1 ||
                ConnectDrive(link, state.identity, messages) != 1) {
                return 1;
            }
            const std::atomic<bool> never{false};
            GainSearchRun run(state, link, start.kind, messages, messages, never);
            run.run(SearchTarget{}, false);
            const GainSearch* search = run.search();
            if (search == nullptr || search->trials().empty()) {
                return 1;
            }
            const Trial& first = search->trials().front();
            const Trial* best = search->best();
            const std::string found =
                best ? KnobText(*search, best->gains, " ") + ": " + Metrics(*best)
                     : std::string("none");
            const int captures = static_cast<int>(search->trials().size());
            if (markdown) {
                std::printf("| %s | %s | %s | %s: %s | %s | %d | %s |\n", LoopName(start.kind),
                            std::string(load.name).c_str(), start.name,
                            KnobText(*search, first.gains, " ").c_str(), Metrics(first).c_str(),
                            found.c_str(), captures, SearchEndText(search->end()));
            } else {
                std::printf("%-8s %-8s %-11s start %s: %s\n%30s found %s\n%30s %d captures, %s\n",
                            LoopName(start.kind), std::string(load.name).c_str(), start.name,
                            KnobText(*search, first.gains, " ").c_str(), Metrics(first).c_str(), "",
                            found.c_str(), "", captures, SearchEndText(search->end()));
                for (const Trial& t : search->trials()) {
                    std::printf("%34d %s: %s\n", t.number, KnobText(*search, t.gains, " ").c_str(),
                                Metrics(t).c_str());
                }
            }
        }
    }
    return 0;
}
