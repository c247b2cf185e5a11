// quendrix-cli capture tune: the tuning assistant on a terminal. One line per capture
// tried, then the proposal; the drive keeps its starting gains unless --apply is given.
// Nothing is stored in the drive's EEPROM.

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "capture/CaptureSettingsForm.h"
#include "capture/GainSearchRun.h"
#include "cli/CliContext.h"

namespace qx::cli {

namespace {

struct TuneOptions {
    std::string loop;
    // Kept as given, so that an empty text is refused rather than taken for no option.
    std::optional<std::string> maxOvershoot;
    std::optional<std::string> maxCaptures;
    std::optional<std::string> range;
    bool apply = false;
};

// A decimal number within [lo, hi] and nothing else (no blanks, no hexadecimal, no "nan"
// or "inf"); `whole` refuses fractions.
std::optional<double> ParseNumber(const std::string& text, double lo, double hi, bool whole) {
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(v) || v < lo ||
        v > hi || (whole && v != std::floor(v))) {
        return std::nullopt;
    }
    return v;
}

// Checks one option, if given; says what it expects when its text does not fit.
bool Check(const char* name, const std::optional<std::string>& text, double lo, double hi,
           bool whole, const char* unit, double& out) {
    if (!text) {
        return true;  // not given: the default stands
    }
    const auto v = ParseNumber(*text, lo, hi, whole);
    if (!v) {
        std::cerr << "quendrix-cli: " << name << " '" << *text << "': expected "
                  << (whole ? "a whole number" : "a number") << " from " << lo << " to " << hi
                  << unit << std::endl;
        return false;
    }
    out = *v;
    return true;
}

CaptureKind LoopOf(const std::string& name) {
    return name == "speed" ? CaptureKind::Speed
                           : (name == "position" ? CaptureKind::Position : CaptureKind::Current);
}

std::string GainText(const GainSearch& search, const LoopGains& g) {
    std::string s;
    for (const SearchKnob& k : search.knobs()) {
        s += std::string(s.empty() ? "" : " ") + k.name + " " +
             std::to_string(g.words[static_cast<std::size_t>(k.index)]);
    }
    return s.empty() ? "(no gain to change)" : s;
}

std::string MetricsText(const Trial& t) {
    const StepMetrics& m = t.outcome.metrics;
    char line[128];
    if (m.settled) {
        std::snprintf(line, sizeof line, "rise %.3f ms, overshoot %.1f %%, settling %.2f ms",
                      m.riseTimeMs, m.overshootPercent, m.settlingTimeMs);
    } else {
        std::snprintf(line, sizeof line, "rise %.3f ms, overshoot %.1f %%, not settled",
                      m.riseTimeMs, m.overshootPercent);
    }
    return line;
}

void PrintTrial(const GainSearch& search, const Trial& t) {
    std::cout << "capture " << t.number << ": " << GainText(search, t.gains);
    if (t.verdict != TrialVerdict::Failed && t.verdict != TrialVerdict::NoStep) {
        std::cout << ", " << MetricsText(t);
    }
    std::cout << ": " << VerdictText(t.verdict) << std::endl;
}

GainSearchRun* gRun = nullptr;

extern "C" void OnInterrupt(int) {
    if (gRun != nullptr) {
        gRun->requestStop();
    }
}

int RunTune(CliContext& context, const TuneOptions& o) {
    const CaptureKind kind = LoopOf(o.loop);
    SearchTarget target;
    double captures = target.maxCaptures;
    double range = 0.0;
    // The step amplitudes the capture setting dialogs allow, upwards from their smallest
    // step (a range of 0 or below gives no step to measure).
    const CaptureSettingLimits limits = SettingLimits(kind);
    const double rangeLo = limits.rangeStep;
    const double rangeHi = limits.rangeCommitMax;
    if (!Check("--max-overshoot", o.maxOvershoot, 0.0, kMaxOvershootLimitPercent, false, " %",
               target.maxOvershootPercent) ||
        !Check("--max-captures", o.maxCaptures, kMinCaptureBudget, kMaxCaptureBudget, true, "",
               captures) ||
        !Check("--range", o.range, rangeLo, rangeHi, kind != CaptureKind::Current,
               ForKind(kind, " A", " rpm", " pulses"), range)) {
        return kExitUsage;
    }
    target.maxCaptures = static_cast<int>(captures);
    if (!context.connect()) {
        return kExitDriveFailure;
    }
    SharedState& state = context.state();
    if (o.range) {
        SettingsForLoop(state, kind).range = static_cast<float>(range);
    }

    GainSearchRun run(state, context.link(), kind, context.messages(), context.messages());
    run.setTrialListener([&run](const Trial& t) { PrintTrial(*run.search(), t); });
    gRun = &run;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const SearchRunStatus status = run.run(target, o.apply);
    std::signal(SIGINT, previous);
    gRun = nullptr;
    const GainSearch* search = run.search();
    if (search == nullptr) {
        std::cerr << "quendrix-cli: the drive did not accept the step test" << std::endl;
        return kExitDriveFailure;
    }

    std::cout << "end: " << SearchEndText(search->end());
    if (search->end() == SearchEnd::Danger) {
        std::cout << ", capture " << search->trials().back().number << " "
                  << VerdictText(search->trials().back().verdict);
    }
    std::cout << std::endl;
    if (const Trial* best = search->best()) {
        std::cout << "proposal: " << GainText(*search, best->gains) << " (" << MetricsText(*best)
                  << ", capture " << best->number << ")" << std::endl;
    } else {
        std::cout << "proposal: none within the target" << std::endl;
    }
    if (status == SearchRunStatus::Finished) {
        const bool applied = !(run.finalGains() == search->startGains());
        std::cout << (applied ? "applied: " : "the drive keeps its starting gains: ")
                  << GainText(*search, run.finalGains()) << std::endl;
    }
    const bool failed = status != SearchRunStatus::Finished ||
                        search->end() == SearchEnd::Stopped ||
                        (search->end() == SearchEnd::Danger &&
                         search->trials().back().verdict == TrialVerdict::Failed);
    return failed ? kExitDriveFailure : kExitOk;
}

}  // namespace

void RegisterTuneCommand(CLI::App& capture, CliContext& context, int& exitCode) {
    auto o = std::make_shared<TuneOptions>();
    CLI::App* tune = capture.add_subcommand(
        "tune",
        "Search the loop's gains by experiment with back-to-back step tests as its tuning "
        "window runs them: the fastest rise whose overshoot stays within the limit and that "
        "settles within the record. Prints one line per capture and the proposal; the drive "
        "keeps its starting gains unless --apply is given (nothing is stored in EEPROM). "
        "Ctrl+C stops the search and restores the starting gains");
    tune->add_option("loop", o->loop, "current (Ki), speed (T_rc, Kp) or position (Kp, Kd)")
        ->required()
        ->check(CLI::IsMember({"current", "speed", "position"}));
    tune->add_option("--max-overshoot", o->maxOvershoot,
                     "Largest overshoot allowed, 0 to 100 % (5)");
    tune->add_option("--max-captures", o->maxCaptures,
                     "Captures at most, the first with the starting gains, 1 to 100 (20)");
    tune->add_option("--range", o->range,
                     "Step size for the tests (A 0.01 to 100, rpm 1 to 6000, pulses 1 to "
                     "4000000; default the loop's capture setting); small steps keep the loop "
                     "clear of its limits");
    tune->add_flag("--apply", o->apply, "Leave the drive with the gains proposed");
    tune->callback([&context, &exitCode, o]() { exitCode = RunTune(context, *o); });
}

}  // namespace qx::cli
