#include "capture/GainSearchRun.h"

#include <span>

#include "capture/DecodeSamples.h"
#include "capture/LoopTuner.h"

namespace qx {

namespace {

// The worker of a window is replaced by the caller's own loop: nobody is told of records.
class NoListener final : public SampleDoneListener {
  public:
    void sampleDone() override {}
};

}  // namespace

uint32_t SearchCaptureLimitMs(const SharedState& state) {
    return kSearchCaptureLimits * CaptureTimeout(SnapshotCaptureJob(state)).ms;
}

GainSearchRun::GainSearchRun(SharedState& state, DriveLink& link, CaptureKind kind,
                             MessageSink& window, MessageSink& mainWindow,
                             const std::atomic<bool>& stop)
    : state_(state),
      link_(link),
      kind_(kind),
      window_(window),
      mainWindow_(mainWindow),
      stop_(stop),
      sequence_(link) {}

SearchRunStatus GainSearchRun::run(const SearchTarget& target, bool apply) {
    NoListener nobody;
    LoopTuner tuner(state_, link_, kind_, window_, mainWindow_, nobody);
    if (!tuner.prepare()) {
        return SearchRunStatus::NotOpened;  // the closing, if any, follows with `tuner`
    }
    search_.emplace(kind_, tuner.values(), target);
    GainSearch& search = *search_;
    const uint32_t limitMs = SearchCaptureLimitMs(state_);
    // The gains of the last capture, and whether the drive is known to hold them.
    LoopGains last = search.startGains();
    bool lastHeld = true;
    while (search.running()) {
        if (stop_.load()) {
            search.stop();
            break;
        }
        last = search.proposal();
        StoreGains(state_, kind_, last);
        CaptureOutcome outcome;
        const CaptureRun c = capture(limitMs, true, outcome);
        lastHeld = c == CaptureRun::Recorded;
        if (c == CaptureRun::Stopped) {
            search.stop();
            break;
        }
        search.record(outcome);
        if (listener_) {
            listener_(search.trials().back());
        }
    }

    final_ = search.finalGains(apply);
    StoreGains(state_, kind_, final_);
    SearchRunStatus status = SearchRunStatus::Finished;
    if (!lastHeld || !(last == final_)) {
        CaptureOutcome written;
        if (capture(kFinalGainsLimitMs, false, written) != CaptureRun::Recorded) {
            const bool restoring = final_ == search.startGains();
            window_.show(restoring ? kRestoreFailsText : kApplyFailsText, kTitleWarning);
            status = SearchRunStatus::FinalNotWritten;
        }
    }
    return status;  // `tuner` closes as the window does: servo off
}

CaptureRun GainSearchRun::capture(uint32_t limitMs, bool stoppable, CaptureOutcome& outcome) {
    const CaptureRun run =
        sequence_.runWithin(SnapshotCaptureJob(state_), limitMs, stoppable ? &stop_ : nullptr);
    if (run != CaptureRun::Recorded) {
        return run;
    }
    const CaptureJob& job = sequence_.job();
    const int count = sequence_.totalWords() / WordsPerPoint(job.kind);
    DecodeSamples(sequence_.record(), job.kind, count, plot_);
    outcome = MeasureTuningRecord(
        state_, std::span<const float>(plot_.trace2.data(), static_cast<std::size_t>(count)));
    return CaptureRun::Recorded;
}

}  // namespace qx
