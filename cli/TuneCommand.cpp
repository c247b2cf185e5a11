// quendrix-cli capture tune: the tuning assistant on a terminal. One line per capture
// tried, then the proposal; the drive keeps its starting gains unless --apply is given.
// Nothing is stored in the drive's EEPROM.

#include <array>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "capture/CaptureSettingsForm.h"
#include "capture/GainSearchRun.h"
#include "capture/TuningAssistant.h"
#include "cli/CliContext.h"
#include "cli/OptionValue.h"
#include "cli/SignalStop.h"

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

// The knobs' words, "T_rc 25 Kp 100".
std::string GainText(const GainSearch& search, const LoopGains& g) {
    return search.knobs().empty() ? "(no gain to change)" : KnobText(search, g, " ");
}

// "rise 0.530 ms, overshoot 4.8 %, settling 3.82 ms", as the panel's table shows them.
std::string MetricsText(const GainSearch& search, const Trial& t) {
    const std::array<std::string, 6> cells = TrialCells(search, t);
    return "rise " + cells[2] + " ms, overshoot " + cells[3] + " %, " +
           (t.outcome.metrics.settled ? "settling " + cells[4] + " ms" : cells[4]);
}

void PrintTrial(const GainSearch& search, const Trial& t) {
    std::cout << "capture " << t.number << ": " << GainText(search, t.gains);
    if (t.verdict != TrialVerdict::Failed && t.verdict != TrialVerdict::NoStep) {
        std::cout << ", " << MetricsText(search, t);
    }
    std::cout << ": " << VerdictText(t.verdict) << std::endl;
}

int RunTune(CliContext& context, const TuneOptions& o, const SignalStop& signals) {
    const CaptureKind kind = LoopKind(o.loop);
    SearchTarget target;
    if (o.maxOvershoot) {
        target.maxOvershootPercent = CheckedNumber("--max-overshoot", *o.maxOvershoot,
                                                   {0.0, kMaxOvershootLimitPercent, false, "%"});
    }
    if (o.maxCaptures) {
        target.maxCaptures = static_cast<int>(CheckedNumber(
            "--max-captures", *o.maxCaptures, {kMinCaptureBudget, kMaxCaptureBudget, true, ""}));
    }
    // The step amplitudes the capture setting dialogs allow, upwards from their smallest
    // step (a range of 0 or below gives no step to measure).
    const CaptureSettingLimits limits = SettingLimits(kind);
    const double range = o.range ? CheckedNumber("--range", *o.range,
                                                 {limits.rangeStep, limits.rangeCommitMax,
                                                  kind != CaptureKind::Current, UnitOf(kind)})
                                 : 0.0;
    if (!context.connect()) {
        return kExitDriveFailure;
    }
    SharedState& state = context.state();
    if (o.range) {
        SettingsForLoop(state, kind).range = static_cast<float>(range);
    }

    // SIGINT, SIGTERM and SIGHUP stop the search like the panel's Stop: the starting gains
    // go back and the servo goes off before the tool ends.
    GainSearchRun run(state, context.link(), kind, context.messages(), context.messages(),
                      signals.flag());
    run.setTrialListener([&run](const Trial& t) { PrintTrial(*run.search(), t); });
    const SearchRunStatus status = run.run(target, o.apply);
    const GainSearch* search = run.search();
    if (search == nullptr) {
        std::cerr << "quendrix-cli: the drive did not accept the step test" << std::endl;
        return kExitDriveFailure;
    }

    std::cout << "end: " << SearchEndLine(*search) << std::endl;
    if (const Trial* best = search->best()) {
        std::cout << "proposal: " << GainText(*search, best->gains) << " ("
                  << MetricsText(*search, *best) << ", capture " << best->number << ")"
                  << std::endl;
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
    tune->callback([&context, &exitCode, o]() {
        const SignalStop signals;
        exitCode = RunTune(context, *o, signals);
        signals.endIfRaised();
    });
}

}  // namespace qx::cli
