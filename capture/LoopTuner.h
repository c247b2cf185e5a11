#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/PlotData.h"
#include "capture/SampleThread.h"
#include "capture/ScopeTexts.h"
#include "capture/WaveformGeometry.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

inline constexpr uint32_t kReadGainsLimitMs = 3000;
inline constexpr uint32_t kTuningTimerMs = 100;

// The gains a window shows when no drive is connected.
LoopGains DefaultGains(CaptureKind kind);

// Reads the loop's gain words at window opening, each pass a fresh session, until one
// succeeds or 3000 ms have passed since the first. Returns the last status; on 0 the
// words are in `gains`.
uint32_t ReadLoopGains(DriveLink& link, CaptureKind kind, LoopGains& gains);

// The drive side of a loop tuning window, free of any toolkit: opening (gain read,
// capture set-up, worker), the 100 ms timer, a finished capture and closing. The window
// owns one, forwards its events and shows what it holds.
class LoopTuner {
  public:
    LoopTuner(SharedState& state, DriveLink& link, CaptureKind kind, MessageSink& window,
              MessageSink& mainWindow, SampleDoneListener& listener);
    ~LoopTuner();
    LoopTuner(const LoopTuner&) = delete;
    LoopTuner& operator=(const LoopTuner&) = delete;

    // Opening. Returns true when the worker runs (captures will follow).
    bool open();
    // The opening without the worker, for a caller that runs the captures itself: gains
    // read, capture set-up sent, gains stored for the captures. Returns true when step
    // tests may follow; close() ends it as it ends a window.
    bool prepare();
    // The timer: requests a capture when the gains changed since the last request.
    // Returns true when it did.
    bool timerTick();
    // A record arrived (on the window's thread): decodes it into `plot`, marks the data
    // valid and, when `next` is set, requests the next capture at once.
    void sampleDone(PlotData& plot, bool next = true);
    // Closing: ends the worker, then switches the servo off. Safe to call twice.
    void close();

    CaptureKind kind() const { return kind_; }
    bool capturing() const { return thread_ != nullptr; }
    int dataValid() const { return dataValid_; }
    // What the plot draws: the record shown as it was captured, or (with no valid
    // record) the empty scale of the capture asked for.
    WaveformInput plotInput() const;
    // Where the window's capture stands (the time of the last record aside).
    CaptureState captureState() const;
    // The shape of the record decoded last.
    const RecordShape& recordShape() const { return shape_; }
    // The values the window shows (raw words) and whether the drive's were read.
    LoopGains& values() { return values_; }
    const LoopGains& values() const { return values_; }
    bool gainsRead() const { return gainsRead_; }
    SampleThread* thread() { return thread_.get(); }

  private:
    SharedState& state_;
    DriveLink& link_;
    CaptureKind kind_;
    MessageSink& window_;
    MessageSink& mainWindow_;
    SampleDoneListener& listener_;
    std::unique_ptr<SampleThread> thread_;
    LoopGains values_;
    LoopGains saved_;
    bool gainsRead_ = false;
    bool openedConnected_ = false;
    int dataValid_ = 0;
    RecordShape shape_;
    bool closed_ = true;  // nothing to close until an opening talked to the drive
};

}  // namespace qx
