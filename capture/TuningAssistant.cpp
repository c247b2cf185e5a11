#include "capture/TuningAssistant.h"

#include <cstdio>

#include "capture/GainSearchRun.h"

namespace qx {

namespace {

std::string Number(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string KnobNames(CaptureKind kind) {
    std::string names;
    const std::vector<SearchKnob> knobs = SearchKnobs(kind);
    for (std::size_t k = 0; k < knobs.size(); ++k) {
        names += std::string(k == 0 ? "" : " and ") + knobs[k].name;
    }
    return names;
}

std::string BestText(const GainSearch& search) {
    const Trial* best = search.best();
    if (best == nullptr) {
        return "no capture within the target";
    }
    return "best #" + std::to_string(best->number) + " (" + KnobText(search, best->gains) + ")";
}

}  // namespace

std::string KnobText(const GainSearch& search, const LoopGains& gains, const char* separator) {
    std::string text;
    for (const SearchKnob& k : search.knobs()) {
        text += std::string(text.empty() ? "" : separator) + k.name + " " +
                std::to_string(gains.words[static_cast<std::size_t>(k.index)]);
    }
    return text.empty() ? "no gain to change" : text;
}

std::string SearchEndLine(const GainSearch& search) {
    std::string line = SearchEndText(search.end());
    if (search.end() == SearchEnd::Danger) {
        const Trial& last = search.trials().back();
        line += ", capture " + std::to_string(last.number) + " " + VerdictText(last.verdict);
    }
    return line;
}

std::array<std::string, 6> TrialCells(const GainSearch& search, const Trial& t) {
    const StepMetrics& m = t.outcome.metrics;
    const bool measured = t.verdict != TrialVerdict::Failed && t.verdict != TrialVerdict::NoStep;
    return {std::to_string(t.number),
            KnobText(search, t.gains),
            measured ? Number("%.3f", m.riseTimeMs) : "-",
            measured ? Number("%.1f", m.overshootPercent) : "-",
            measured ? (m.settled ? Number("%.2f", m.settlingTimeMs) : "not settled") : "-",
            VerdictText(t.verdict)};
}

void TuningAssistant::start(const LoopGains& windowGains, const SearchTarget& target,
                            uint32_t limitMs, uint32_t nowMs) {
    if (phase_ != AssistantPhase::Idle) {
        return;
    }
    search_.emplace(kind_, windowGains, target);
    limitMs_ = limitMs;
    phase_ = AssistantPhase::Searching;
    choice_ = Choice::None;
    given_ = windowGains;
    give(search_->proposal(), nowMs);
}

void TuningAssistant::give(const LoopGains& gains, uint32_t nowMs) {
    // Other gains in the edits: the drive holds them only once a record shows it.
    driveBehind_ = driveBehind_ || !(gains == given_);
    given_ = gains;
    givenAtMs_ = nowMs;
    pending_ = gains;
}

RecordUse TuningAssistant::recordArrived(const RecordShape& shape, const CaptureOutcome& outcome,
                                         const LoopGains& windowGains, uint32_t nowMs) {
    driveBehind_ = driveBehind_ && !CapturedWith(shape, windowGains);
    if (phase_ != AssistantPhase::Searching) {
        return RecordUse::Ignored;
    }
    if (!CapturedWith(shape, search_->proposal())) {
        return RecordUse::Ignored;  // begun before the proposal reached the edits
    }
    const Trial* before = search_->best();
    const int bestBefore = before != nullptr ? before->number : 0;
    search_->record(outcome);
    afterRecord(nowMs);
    const Trial* best = search_->best();
    return best != nullptr && best->number != bestBefore ? RecordUse::NewBest : RecordUse::Judged;
}

void TuningAssistant::afterRecord(uint32_t nowMs) {
    if (search_->running()) {
        give(search_->proposal(), nowMs);
        return;
    }
    // Over, whatever ended it: the next capture writes the starting gains back.
    phase_ = AssistantPhase::Choosing;
    give(search_->startGains(), nowMs);
}

bool TuningAssistant::tick(uint32_t nowMs) {
    if (phase_ != AssistantPhase::Searching || nowMs - givenAtMs_ <= limitMs_) {
        return false;
    }
    search_->record(CaptureOutcome{});
    afterRecord(nowMs);
    return true;
}

void TuningAssistant::stop() {
    if (phase_ != AssistantPhase::Searching) {
        return;
    }
    search_->stop();
    afterRecord(givenAtMs_);
}

bool TuningAssistant::canApply() const {
    return phase_ == AssistantPhase::Choosing && search_->best() != nullptr;
}

void TuningAssistant::apply() {
    if (!canApply()) {
        return;
    }
    phase_ = AssistantPhase::Idle;
    choice_ = Choice::Applied;
    give(search_->best()->gains, givenAtMs_);
}

void TuningAssistant::discard() {
    if (phase_ == AssistantPhase::Choosing) {
        phase_ = AssistantPhase::Idle;
        choice_ = Choice::Discarded;
    }
}

std::optional<LoopGains> TuningAssistant::takeWindowGains() {
    std::optional<LoopGains> gains = pending_;
    pending_.reset();
    return gains;
}

const char* TuningAssistant::unwrittenText() const {
    return search_ && given_ == search_->startGains() ? kRestoreFailsText : kApplyFailsText;
}

std::string TuningAssistant::statusLine() const {
    if (!search_) {
        return "Start captures with the gains shown, then changes " + KnobNames(kind_) +
               " by experiment";
    }
    const GainSearch& s = *search_;
    const std::string behind = driveBehind_ ? " (not yet in the drive)" : "";
    switch (phase_) {
        case AssistantPhase::Searching:
            return "searching: capture " + std::to_string(s.trials().size() + 1) + " of at most " +
                   std::to_string(s.target().maxCaptures) + ", " + KnobText(s, s.proposal());
        case AssistantPhase::Choosing: {
            return SearchEndLine(s) + ": " + BestText(s) + "; starting gains restored" + behind;
        }
        case AssistantPhase::Idle:
            break;
    }
    if (choice_ == Choice::Applied) {
        return "applied: " + KnobText(s, given_) + behind;
    }
    return "discarded: the starting gains stay (" + KnobText(s, given_) + ")" + behind;
}

}  // namespace qx
