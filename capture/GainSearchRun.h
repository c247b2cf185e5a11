#pragma once

// The tuning assistant on a link of its own, as the command line and the tests run it:
// it opens as the loop's tuning window does (gains read, capture set-up), runs the
// search's captures one after another with the window's own capture exchanges (session
// opening, gain write, step test, polls, read-out), writes the starting gains back (or
// the best ones, when asked to apply them) with one more such capture, and closes as the
// window does (servo off). Every gain word written is one the window could have written.
// The captures run on the calling thread, which owns the link throughout.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/SharedState.h"
#include "capture/CaptureSequence.h"
#include "capture/GainSearch.h"
#include "capture/PlotData.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

// The engine starts a failing capture again on its own; one that has not brought its
// record within this many times the time the engine gives the drive has failed.
inline constexpr uint32_t kSearchCaptureLimits = 2;
// That limit for the step test the shared records describe.
uint32_t SearchCaptureLimitMs(const SharedState& state);
// The capture that writes the final gains is tried this long: a drive that comes back
// within it gets them.
inline constexpr uint32_t kFinalGainsLimitMs = 30'000;

inline constexpr const char* kRestoreFailsText = "Restoring the starting gains fails!";
inline constexpr const char* kApplyFailsText = "Applying the tuned gains fails!";

enum class SearchRunStatus {
    Finished,        // the search ended (GainSearch::end) and the drive holds the final gains
    NotOpened,       // the window's opening failed and said so; nothing was tuned
    FinalNotWritten  // the final gains could not be written; a warning said so
};

class GainSearchRun {
  public:
    using TrialListener = std::function<void(const Trial&)>;

    // `stop` is the engineer's Stop: raised from any thread, or a signal handler, it ends
    // the search, and the starting gains go back.
    GainSearchRun(SharedState& state, DriveLink& link, CaptureKind kind, MessageSink& window,
                  MessageSink& mainWindow, const std::atomic<bool>& stop);

    // Told of every capture as soon as it is judged.
    void setTrialListener(TrialListener listener) { listener_ = std::move(listener); }
    // The whole search, from opening to closing.
    SearchRunStatus run(const SearchTarget& target, bool apply);

    // After run(): the search (none when the opening failed) and the gains written last.
    const GainSearch* search() const { return search_ ? &*search_ : nullptr; }
    const LoopGains& finalGains() const { return final_; }

  private:
    CaptureRun capture(uint32_t limitMs, bool stoppable, CaptureOutcome& outcome);

    SharedState& state_;
    DriveLink& link_;
    CaptureKind kind_;
    MessageSink& window_;
    MessageSink& mainWindow_;
    TrialListener listener_;
    static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
    const std::atomic<bool>& stop_;
    CaptureSequence sequence_;
    PlotData plot_;
    std::optional<GainSearch> search_;
    LoopGains final_;
};

}  // namespace qx
