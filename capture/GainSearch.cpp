#include "capture/GainSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "capture/TuningEdits.h"

namespace qx {

namespace {

bool Beyond(TrialVerdict v) {
    return v == TrialVerdict::Overshoots || v == TrialVerdict::Oscillates;
}

bool AtRest(TrialVerdict v) {
    return v == TrialVerdict::WithinTarget || v == TrialVerdict::Overshoots ||
           v == TrialVerdict::TooSlow;
}

double Finite(double v) {
    return std::isnan(v) ? std::numeric_limits<double>::infinity() : v;
}

// A response that settles long after it rises creeps up to the command: noise decides
// when it passes 90 %, so its rise time says little and its settling time says how soon
// it gets there.
bool Creeps(const Trial& t) {
    const StepMetrics& m = t.outcome.metrics;
    return !(Finite(m.settlingTimeMs) <= kCreepingSettlingRatio * Finite(m.riseTimeMs));
}

// Of two captures within the target: `a` rises faster, or as fast and settles sooner.
bool Faster(const Trial& a, const Trial& b) {
    const double sa = Finite(a.outcome.metrics.settlingTimeMs);
    const double sb = Finite(b.outcome.metrics.settlingTimeMs);
    const double ra = Finite(a.outcome.metrics.riseTimeMs);
    const double rb = Finite(b.outcome.metrics.riseTimeMs);
    if (!Creeps(a) && !Creeps(b)) {
        if (ra < rb * (1.0 - kMinImprovementShare)) {
            return true;
        }
        if (ra > rb * (1.0 + kMinImprovementShare)) {
            return false;
        }
    }
    return sa < sb * (1.0 - kMinImprovementShare);
}

// A step towards faster gains that brought `a` after `b` (neither beyond the target)
// improved the response: it came within, rose faster, or still creeps as `b` did (the
// next step may bring it within).
bool Improves(const Trial& a, const Trial& b) {
    if (a.verdict == TrialVerdict::WithinTarget) {
        return b.verdict != TrialVerdict::WithinTarget || Faster(a, b);
    }
    return b.verdict == TrialVerdict::TooSlow;
}

int32_t Scaled(int32_t word, double log2Factor, const SearchKnob& knob) {
    const auto scaled = std::lround(word * std::exp2(log2Factor));
    return static_cast<int32_t>(std::clamp<long>(scaled, knob.minimum, knob.maximum));
}

}  // namespace

const char* VerdictText(TrialVerdict verdict) {
    switch (verdict) {
        case TrialVerdict::WithinTarget:
            return "within target";
        case TrialVerdict::Overshoots:
            return "overshoots";
        case TrialVerdict::TooSlow:
            return "too slow";
        case TrialVerdict::Oscillates:
            return "oscillates";
        case TrialVerdict::Saturates:
            return "saturates";
        case TrialVerdict::NoStep:
            return "no step in the record";
        case TrialVerdict::Failed:
            break;
    }
    return "capture failed";
}

const char* SearchEndText(SearchEnd end) {
    switch (end) {
        case SearchEnd::Running:
            return "running";
        case SearchEnd::Done:
            return "no further improvement";
        case SearchEnd::Budget:
            return "capture budget spent";
        case SearchEnd::Danger:
            return "danger";
        case SearchEnd::Stopped:
            break;
    }
    return "stopped";
}

TrialVerdict ClassifyCapture(const CaptureOutcome& o, double maxOvershootPercent) {
    if (!o.captured) {
        return TrialVerdict::Failed;
    }
    const StepMetrics& m = o.metrics;
    if (m.status != StepStatus::Ok) {
        return TrialVerdict::NoStep;
    }
    if (o.saturated) {
        return TrialVerdict::Saturates;
    }
    // Beyond the band and not back in it by the end of the record: not at rest.
    const bool overshotUnsettled = !m.settled && m.overshootPercent > kSettlingBandShare * 100.0;
    if (m.oscillating || o.ringing || overshotUnsettled) {
        return TrialVerdict::Oscillates;
    }
    if (!m.settled) {
        return TrialVerdict::TooSlow;
    }
    return m.overshootPercent > maxOvershootPercent ? TrialVerdict::Overshoots
                                                    : TrialVerdict::WithinTarget;
}

std::vector<SearchKnob> SearchKnobs(CaptureKind kind) {
    // A gain the search scales never reaches 0, so every knob starts at 1.
    const auto knob = [kind](int index, int fasterSign, const char* name) {
        return SearchKnob{index, 1, LimitsOfGain(kind, index).maximum, fasterSign, name};
    };
    switch (kind) {
        case CaptureKind::Speed:
            // A shorter integral time is a faster loop; so, by convention, is a larger
            // proportional gain.
            return {knob(1, -1, "T_rc"), knob(0, 1, "Kp")};
        case CaptureKind::Position:
            // The differential gain damps: less of it is faster.
            return {knob(0, 1, "Kp"), knob(1, -1, "Kd")};
        case CaptureKind::Current:
            break;
    }
    return {knob(3, 1, "Ki")};
}

GainSearch::GainSearch(CaptureKind kind, const LoopGains& start, const SearchTarget& target)
    : start_(start), target_(target), proposal_(start) {
    target_.maxCaptures = std::max(target_.maxCaptures, kMinCaptureBudget);
    for (const SearchKnob& k : SearchKnobs(kind)) {
        if (start.words[static_cast<std::size_t>(k.index)] != 0) {
            knobs_.push_back(k);
        }
    }
}

const Trial* GainSearch::best() const {
    return best_ ? &at(*best_) : nullptr;
}

LoopGains GainSearch::finalGains(bool apply) const {
    const bool ranItsCourse = end_ == SearchEnd::Done || end_ == SearchEnd::Budget;
    return apply && ranItsCourse && best_ ? at(*best_).gains : start_;
}

void GainSearch::stop() {
    if (running()) {
        end_ = SearchEnd::Stopped;
    }
}

bool GainSearch::danger(const Trial& t) const {
    switch (t.verdict) {
        case TrialVerdict::Saturates:
        case TrialVerdict::NoStep:
        case TrialVerdict::Failed:
            return true;
        case TrialVerdict::Oscillates:
            // Only a loop that was oscillating from the start may oscillate on the way to rest.
            return sawRest_;
        default:
            return false;
    }
}

void GainSearch::record(const CaptureOutcome& outcome) {
    if (!running()) {
        return;
    }
    Trial t;
    t.number = static_cast<int>(trials_.size()) + 1;
    t.gains = proposal_;
    t.outcome = outcome;
    t.verdict = ClassifyCapture(outcome, target_.maxOvershootPercent);
    trials_.push_back(t);
    const int index = t.number - 1;
    if (danger(t)) {
        end_ = SearchEnd::Danger;
        return;
    }
    sawRest_ = sawRest_ || AtRest(t.verdict);
    if (t.verdict == TrialVerdict::WithinTarget && (!best_ || Faster(t, *best()))) {
        best_ = index;
    }
    if (index == 0) {
        base_ = 0;
        bestAtPassStart_ = best_;
        if (!knobs_.empty()) {
            startKnob();
        }
    }
    // A later capture is the line search's last probe: advance() finds it among the
    // trials and learns from it there.
    if (static_cast<int>(trials_.size()) >= target_.maxCaptures) {
        end_ = SearchEnd::Budget;
        return;
    }
    advance();
}

int32_t GainSearch::knobWord(int trial) const {
    return at(trial).gains.words[static_cast<std::size_t>(knobs_[knob_].index)];
}

double GainSearch::position(int trial) const {
    return knobs_[knob_].fasterSign * std::log2(static_cast<double>(knobWord(trial)));
}

LoopGains GainSearch::withKnob(int32_t word) const {
    LoopGains g = at(base_).gains;
    g.words[static_cast<std::size_t>(knobs_[knob_].index)] = word;
    return g;
}

std::optional<int> GainSearch::findTrial(const LoopGains& gains) const {
    const auto it = std::find_if(trials_.begin(), trials_.end(),
                                 [&gains](const Trial& t) { return t.gains == gains; });
    if (it == trials_.end()) {
        return std::nullopt;
    }
    return static_cast<int>(it - trials_.begin());
}

void GainSearch::startKnob() {
    lo_.reset();
    hi_.reset();
    stalled_ = false;
    if (Beyond(at(base_).verdict)) {
        hi_ = base_;
        return;
    }
    lo_ = base_;
    // Captures beyond the target made along this line before (an earlier pass) tell where
    // its edge lies: the search starts from the nearest instead of stepping past it.
    const double x = position(base_);
    int t = 0;
    for (const Trial& trial : trials_) {
        if (Beyond(trial.verdict) && withKnob(knobWord(t)) == trial.gains && position(t) > x &&
            (!hi_ || position(t) < position(*hi_))) {
            hi_ = t;
        }
        ++t;
    }
}

void GainSearch::feed(int trial) {
    const Trial& t = at(trial);
    const double x = position(trial);
    if (Beyond(t.verdict)) {
        if (!hi_ || x < position(*hi_)) {
            hi_ = trial;
        }
        return;
    }
    if (lo_ && !hi_ && x > position(*lo_) && !Improves(t, at(*lo_))) {
        stalled_ = true;  // a further step no longer improves
    }
    if (!lo_ || x > position(*lo_)) {
        lo_ = trial;
    }
}

std::optional<LoopGains> GainSearch::nextProbe() const {
    const SearchKnob& k = knobs_[knob_];
    int32_t word = 0;
    int32_t from = 0;
    if (lo_ && hi_) {
        // Never a step towards a gain that made the loop oscillate.
        if (at(*hi_).verdict == TrialVerdict::Oscillates ||
            position(*hi_) - position(*lo_) <= kEdgeResolutionLog2) {
            return std::nullopt;
        }
        const int32_t a = knobWord(*lo_);
        const int32_t b = knobWord(*hi_);
        word = static_cast<int32_t>(std::lround(std::sqrt(static_cast<double>(a) * b)));
        if (word == a || word == b) {
            return std::nullopt;
        }
        return withKnob(word);
    }
    if (stalled_) {
        return std::nullopt;
    }
    if (lo_) {
        const Trial& lo = at(*lo_);
        const bool nearEdge = lo.verdict == TrialVerdict::WithinTarget &&
                              lo.outcome.metrics.overshootPercent >
                                  kCautiousOvershootShare * target_.maxOvershootPercent;
        from = knobWord(*lo_);
        word = Scaled(from, k.fasterSign * (nearEdge ? step_ / 2.0 : step_), k);
    } else {
        from = knobWord(*hi_);
        word = Scaled(from, -k.fasterSign * step_, k);
    }
    if (word == from) {
        return std::nullopt;  // the end of the gain's range
    }
    return withKnob(word);
}

int GainSearch::walkBase() const {
    return best_.value_or(lo_.value_or(hi_.value_or(base_)));
}

void GainSearch::advance() {
    for (;;) {
        if (knob_ >= knobs_.size()) {
            const bool improved = best_ != bestAtPassStart_;
            if (!improved || ++pass_ >= kSearchPasses) {
                end_ = SearchEnd::Done;
                return;
            }
            step_ /= 2.0;
            knob_ = 0;
            bestAtPassStart_ = best_;
            startKnob();
            continue;
        }
        if (const std::optional<LoopGains> probe = nextProbe()) {
            const std::optional<int> tried = findTrial(*probe);
            if (!tried) {
                proposal_ = *probe;
                return;
            }
            feed(*tried);  // captured already
            continue;
        }
        base_ = walkBase();
        ++knob_;
        if (knob_ < knobs_.size()) {
            startKnob();
        }
    }
}

}  // namespace qx
