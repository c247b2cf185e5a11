#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/FreeRunEdits.h"
#include "capture/PlotData.h"
#include "capture/SampleThread.h"
#include "capture/ScopeTexts.h"
#include "capture/WaveformGeometry.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

inline constexpr uint32_t kFreeRunTimerMs = 500;
// The literal base rate the opening divides (every accepted drive runs at it).
inline constexpr int32_t kOpeningBaseRateHz = 4000;

// Unit text of a monitor type's trigger value, and the plot caption at opening and after
// choosing the type.
const char* UnitText(CaptureKind kind);
const char* OpeningCaption(CaptureKind kind);
const char* TypeCaption(CaptureKind kind);

// What the window shows.
struct FreeRunView {
    CaptureKind kind = CaptureKind::Current;
    int32_t sampleCount = 0;
    int32_t sampleRateHz = 0;
    int32_t sampleDivider = 1;
    int32_t autoRun = 1;
    int32_t edge = 0;
    double triggerValue = 0.0;
    float waveOffset = 0.0f;
    std::string unit;
    std::string caption;
};

// The drive side of the free-running capture window, free of any toolkit: it edits the
// selected type's entries of FreeRunSettings, keeps FreeRunRequest up to date, and runs
// the worker (continuously in auto run, one armed capture per "Refresh" otherwise).
class FreeRunMonitor {
  public:
    FreeRunMonitor(SharedState& state, DriveLink& link, MessageSink& window,
                   SampleDoneListener& listener);
    ~FreeRunMonitor();
    FreeRunMonitor(const FreeRunMonitor&) = delete;
    FreeRunMonitor& operator=(const FreeRunMonitor&) = delete;

    // Opening. Returns true when connected (the 500 ms timer is to run).
    bool open();
    // The timer: brings the request up to date when it changed and, in auto run,
    // restarts capturing with empty traces. Returns true when it started a capture.
    bool timerTick(PlotData& plot);
    // "Refresh": arms one triggered capture. Returns true when it did.
    bool refresh();
    // A record arrived (on the window's thread): decoded with the type and count it was
    // captured with; in auto run the next capture is requested at once.
    void sampleDone(PlotData& plot);
    // Closing: ends the worker. Safe to call twice.
    void close();

    void chooseType(CaptureKind kind);
    void chooseAutoRun(bool autoRun);
    void chooseEdge(int32_t edge);

    void editSampleCount(int64_t typed);
    void editSampleRate(int64_t typedHz);
    void editTriggerValue(double typed);
    void editWaveOffset(double typed);

    // Up-down arrows: delta as reported (the up arrow gives -1).
    void spinSampleCount(int delta);
    void spinSampleRate(int delta);
    void spinTriggerValue(int delta);
    void spinWaveOffset(int delta);

    const FreeRunView& view() const { return view_; }
    bool triggerControlsEnabled() const { return view_.autoRun == 0; }
    bool connected() const { return connected_; }
    int dataValid() const { return dataValid_; }
    bool capturing() const { return thread_ != nullptr; }
    // What the plot draws: the record shown as it was captured, or (with no valid
    // record) the empty scale of the capture asked for.
    WaveformInput plotInput() const;
    const RecordShape& recordShape() const { return shape_; }
    // Where the window's capture stands (the time of the last record aside).
    CaptureState captureState() const;
    SampleThread* thread() { return thread_.get(); }

  private:
    struct SavedRequest {
        int32_t autoRun = 0;
        int32_t monitorType = 0;
        int32_t sampleCount = 0;
        int32_t sampleDivider = 0;
        int32_t triggerMode = 0;
        int32_t triggerLevelRaw = 0;
    };

    void loadType(CaptureKind kind, const char* caption, int32_t baseRateHz);
    int index() const { return SettingsIndex(view_.kind); }
    int32_t baseRate() const;
    int32_t triggerMode() const { return view_.autoRun == 1 ? kTriggerAutoRun : view_.edge; }
    bool requestChanged() const;
    void fillRequest(bool withOffset);
    void saveCopy();
    void startCapture();

    SharedState& state_;
    DriveLink& link_;
    MessageSink& window_;
    SampleDoneListener& listener_;
    std::unique_ptr<SampleThread> thread_;
    FreeRunView view_;
    SavedRequest saved_;
    double armedLevel_ = 0.0;  // the trigger value of the capture "Refresh" armed
    int dataValid_ = 0;
    RecordShape shape_;
    bool connected_ = false;
};

}  // namespace qx
