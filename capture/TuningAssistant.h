#pragma once

// The tuning assistant inside a loop tuning window: the window's own back-to-back captures
// drive a GainSearch. The assistant tells the window which gains its edits must hold (each
// proposal, as if the engineer had typed it; the starting gains once the search is over,
// whatever ended it; the best ones when the engineer applies them), judges the records
// captured with the gains proposed and ignores every other (a record carries the gain
// words its capture wrote), and counts a proposal whose record does not come within the
// capture limit as a failed capture. Nothing here talks to the drive: the window's next
// capture writes what its edits hold.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "capture/DecodeSamples.h"
#include "capture/GainSearch.h"

namespace qx {

enum class AssistantPhase {
    Idle,       // no search yet, or the engineer has chosen
    Searching,  // the window captures the search's proposals
    Choosing,   // the search is over and the starting gains are back: Apply or Discard
};

// What a record did for the search.
enum class RecordUse {
    Ignored,  // not captured with the gains proposed, or no search running
    Judged,   // one of the search's captures
    NewBest,  // one of the search's captures, and the best so far
};

class TuningAssistant {
  public:
    explicit TuningAssistant(CaptureKind kind) : kind_(kind) {}

    // The engineer's Start: `windowGains` (the gains the window shows) are the starting
    // gains and the first proposal. A proposal whose record has not arrived `limitMs`
    // after it went into the edits has failed.
    void start(const LoopGains& windowGains, const SearchTarget& target, uint32_t limitMs,
               uint32_t nowMs);
    // A record of `shape` arrived, measured as `outcome`; the window shows `windowGains`.
    RecordUse recordArrived(const RecordShape& shape, const CaptureOutcome& outcome,
                            const LoopGains& windowGains, uint32_t nowMs);
    // The window's timer. True when a proposal's record was given up as failed.
    bool tick(uint32_t nowMs);
    // The engineer's Stop (also closing the window mid-search).
    void stop();
    // The engineer's choice once the search is over; Apply needs a best capture.
    void apply();
    void discard();

    AssistantPhase phase() const { return phase_; }
    bool canApply() const;
    // The search of the last Start, if any.
    const GainSearch* search() const { return search_ ? &*search_ : nullptr; }
    // The gains the window's edits must take now, given once.
    std::optional<LoopGains> takeWindowGains();
    // The drive may still hold gains the search tried that the window no longer shows:
    // none of the records since the search ended was captured with the window's gains.
    bool driveBehind() const { return driveBehind_; }
    // When the window closes while the drive is behind, it writes its gains with one more
    // capture; this says what failing to means.
    const char* unwrittenText() const;

    // The panel's line: what the search does or how it ended.
    std::string statusLine() const;

  private:
    void give(const LoopGains& gains, uint32_t nowMs);
    void afterRecord(uint32_t nowMs);

    CaptureKind kind_;
    AssistantPhase phase_ = AssistantPhase::Idle;
    std::optional<GainSearch> search_;
    uint32_t limitMs_ = 0;
    uint32_t givenAtMs_ = 0;
    LoopGains given_;  // the gains the edits were given last
    std::optional<LoopGains> pending_;
    bool driveBehind_ = false;
    enum class Choice { None, Applied, Discarded };
    Choice choice_ = Choice::None;
};

// The knobs' words of `gains`, as "Ki 3363" or "T_rc 25, Kp 100" (`separator` between
// two knobs).
std::string KnobText(const GainSearch& search, const LoopGains& gains,
                     const char* separator = ", ");

// How the search ended: "danger, capture 4 oscillates", "no further improvement".
std::string SearchEndLine(const GainSearch& search);

// A row of the panel's table: number, gains, rise time (ms), overshoot (%), settling
// time (ms, or "not settled"), verdict. A capture without metrics shows "-" for them.
std::array<std::string, 6> TrialCells(const GainSearch& search, const Trial& trial);

}  // namespace qx
