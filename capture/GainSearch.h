#pragma once

// The tuning assistant's search for a loop's gains, by experiment: it proposes the gains
// of the next step capture, is told what that capture measured, and decides the next
// gains or that it is done. It knows nothing of the drive's controller beyond which gain
// words it may change and which way each is likely to make the response faster; every
// decision comes from the measured step metrics.
//
// The target is the fastest rise whose overshoot stays within a limit and that settles
// within the record. Each gain is searched in turn along a line: from a response within
// the target the gain is stepped towards faster until the response leaves the target or
// stops improving, from one beyond it (overshooting, oscillating) it is stepped back
// until the response comes within, and the edge found between the two is then narrowed
// by halving. A second pass over the gains starts with half the step.
//
// Danger first: a capture that fails, has no step to measure, saturates the record, or
// oscillates (once the search has seen the loop at rest) ends the search at once. A
// search that starts from an oscillating loop may capture oscillations while it brings
// the loop to rest; it never steps towards a gain at which it saw one.
//
// Safety of every step: gains stay within the tuning windows' ranges, and no gain word
// of a proposal differs from that of the capture before it by more than a factor of 2.
// A gain at 0 stays at 0 (no factor reaches another value from it).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/CaptureJob.h"
#include "capture/StepOutcome.h"

namespace qx {

inline constexpr double kDefaultMaxOvershootPercent = 5.0;
inline constexpr int kDefaultMaxCaptures = 20;
// What an engineer may ask for.
inline constexpr double kMaxOvershootLimitPercent = 100.0;
inline constexpr int kMinCaptureBudget = 1;
inline constexpr int kMaxCaptureBudget = 100;
// A gain's search ends when the edge between its last gain within the target and its
// first beyond it is narrower than this (log2: a factor of some 19 %).
inline constexpr double kEdgeResolutionLog2 = 0.25;
// Passes over the gains; the first steps by a factor of 2 (log2: 1), the most a step may
// change a gain, and each later one by half the step of the pass before.
inline constexpr int kSearchPasses = 2;
inline constexpr double kFirstStepLog2 = 1.0;
// A capture counts as faster when its rise time is shorter by this share; one as fast
// (within the share) that settles sooner by the share counts as better too.
inline constexpr double kMinImprovementShare = 0.02;
// A response that settles more than this many times later than it rises creeps up to the
// command; its settling time, not its rise, then tells how fast it is.
inline constexpr double kCreepingSettlingRatio = 10.0;
// A response within the target that already overshoots by more than this share of the
// limit is approached with half a step: close to the edge a full one may leap past it.
inline constexpr double kCautiousOvershootShare = 0.5;

struct SearchTarget {
    double maxOvershootPercent = kDefaultMaxOvershootPercent;
    int maxCaptures = kDefaultMaxCaptures;  // the capture of the starting gains included
};

// What one capture showed, in the order the search prefers them.
enum class TrialVerdict {
    WithinTarget,  // settled, overshoot within the limit
    Overshoots,    // settled, overshoot beyond the limit
    TooSlow,       // on its way without overshooting, but not settled within the record
    Oscillates,    // not at rest: oscillating, ringing, or overshot and not settled
    Saturates,     // the record reached its limits
    NoStep,        // the record holds no step to measure
    Failed,        // no record
};
const char* VerdictText(TrialVerdict verdict);
TrialVerdict ClassifyCapture(const CaptureOutcome& outcome, double maxOvershootPercent);

struct Trial {
    int number = 0;  // 1 for the capture of the starting gains
    LoopGains gains;
    CaptureOutcome outcome;
    TrialVerdict verdict = TrialVerdict::Failed;
};

enum class SearchEnd {
    Running,
    Done,     // a further step no longer improves the response
    Budget,   // the captures allowed are spent
    Danger,   // the last capture ended the search (TrialVerdict says why)
    Stopped,  // the engineer stopped it
};
const char* SearchEndText(SearchEnd end);

// A gain word the search may change, and the direction guessed to make the loop faster
// (+1: a larger word). The guess orders the search; the captures decide.
struct SearchKnob {
    int index = 0;  // in drive order
    int32_t minimum = 1;
    int32_t maximum = 0;
    int fasterSign = 1;
    const char* name = "";
};
// Current loop: Ki. Speed loop: T_rc, then Kp. Position loop: Kp, then Kd.
std::vector<SearchKnob> SearchKnobs(CaptureKind kind);

class GainSearch {
  public:
    // `start` holds all the loop's gain words as read from the drive; only the knobs'
    // words ever change.
    GainSearch(CaptureKind kind, const LoopGains& start, const SearchTarget& target = {});

    bool running() const { return end_ == SearchEnd::Running; }
    SearchEnd end() const { return end_; }
    // The gains of the next capture while running; the first are the starting gains.
    const LoopGains& proposal() const { return proposal_; }
    // The outcome of the capture of proposal().
    void record(const CaptureOutcome& outcome);
    // The engineer's Stop.
    void stop();

    const LoopGains& startGains() const { return start_; }
    const std::vector<Trial>& trials() const { return trials_; }
    // The fastest capture within the target so far, if any.
    const Trial* best() const;
    // The gains the drive should hold when the search is over: the best, when the search
    // ran its course (done, budget) and the engineer applies them; otherwise, and always
    // after danger or Stop, the starting gains. (The best stay in best() for an engineer
    // who applies them afterwards.)
    LoopGains finalGains(bool apply) const;
    const std::vector<SearchKnob>& knobs() const { return knobs_; }

  private:
    bool danger(const Trial& t) const;
    void startKnob();
    void feed(int trial);
    std::optional<LoopGains> nextProbe() const;
    void advance();
    LoopGains withKnob(int32_t word) const;
    int32_t knobWord(int trial) const;
    double position(int trial) const;
    std::optional<int> findTrial(const LoopGains& gains) const;
    int walkBase() const;
    const Trial& at(int trial) const { return trials_[static_cast<std::size_t>(trial)]; }

    LoopGains start_;
    SearchTarget target_;
    std::vector<SearchKnob> knobs_;
    std::vector<Trial> trials_;
    LoopGains proposal_;
    SearchEnd end_ = SearchEnd::Running;
    std::optional<int> best_;  // indices into trials_
    bool sawRest_ = false;
    // The line search of knob `knob_` from trial `base_`: the trial furthest towards
    // faster not beyond the target (lo_), the nearest one beyond it (hi_).
    std::size_t knob_ = 0;
    int pass_ = 0;
    double step_ = kFirstStepLog2;
    int base_ = 0;
    std::optional<int> lo_;
    std::optional<int> hi_;
    bool stalled_ = false;
    std::optional<int> bestAtPassStart_;
};

}  // namespace qx
