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

GainSearchRun::GainSearchRun(SharedState& state, DriveLink& link, CaptureKind kind,
                             MessageSink& window, MessageSink& mainWindow)
    : state_(state),
      link_(link),
      kind_(kind),
      window_(window),
      mainWindow_(mainWindow),
      sequence_(link) {}

SearchRunStatus GainSearchRun::run(const SearchTarget& target, bool apply) {
    NoListener nobody;
    LoopTuner tuner(state_, link_, kind_, window_, mainWindow_, nobody);
    if (!tuner.prepare()) {
        return SearchRunStatus::NotOpened;  // the closing, if any, follows with `tuner`
    }
    search_.emplace(kind_, tuner.values(), target);
    GainSearch& search = *search_;
    const uint32_t limitMs = kSearchCaptureLimits * CaptureTimeout(SnapshotCaptureJob(state_)).ms;
    // The gains of the last capture, and whether the drive is known to hold them.
    LoopGains last = search.startGains();
    bool lastHeld = true;
    while (search.running()) {
        if (stopRequested_.load()) {
            search.stop();
            break;
        }
        last = search.proposal();
        StoreGains(state_, kind_, last);
        CaptureOutcome outcome;
        const Capture c = capture(limitMs, true, outcome);
        lastHeld = c == Capture::Recorded;
        if (c == Capture::Stopped) {
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
        if (capture(kFinalGainsLimitMs, false, written) != Capture::Recorded) {
            const bool restoring = final_ == search.startGains();
            window_.show(restoring ? kRestoreFailsText : kApplyFailsText, kTitleWarning);
            status = SearchRunStatus::FinalNotWritten;
        }
    }
    return status;  // `tuner` closes as the window does: servo off
}

GainSearchRun::Capture GainSearchRun::capture(uint32_t limitMs, bool stoppable,
                                              CaptureOutcome& outcome) {
    sequence_.begin(SnapshotCaptureJob(state_));
    Clock& clock = link_.clock();
    const uint32_t start = clock.tickMs();
    // A capture left unfinished is begun afresh by the next one.
    while (!sequence_.runStep()) {
        if (stoppable && stopRequested_.load()) {
            return Capture::Stopped;
        }
        if (clock.elapsedMs(start) > limitMs) {
            return Capture::Failed;
        }
    }
    const CaptureJob& job = sequence_.job();
    const int count = sequence_.totalWords() / WordsPerPoint(job.kind);
    DecodeSamples(sequence_.record(), job.kind, count, plot_);
    outcome = MeasureTuningRecord(
        state_, std::span<const float>(plot_.trace2.data(), static_cast<std::size_t>(count)));
    return Capture::Recorded;
}

}  // namespace qx
