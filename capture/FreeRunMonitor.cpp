#include "capture/FreeRunMonitor.h"

#include <algorithm>

#include "capture/DecodeSamples.h"
#include "capture/FreeRunEdits.h"

namespace qx {

const char* UnitText(CaptureKind kind) {
    return ForKind(kind, "A", "rpm", "pulse");
}

const char* OpeningCaption(CaptureKind kind) {
    return ForKind(kind, "Horizontal Unit: ms       Vertical Unit: A",
                   "Horizontal Unit: ms       Vertical Unit: RPM",
                   "Horizontal Unit: ms       Vertical Unit: Pulse");
}

const char* TypeCaption(CaptureKind kind) {
    return ForKind(kind, "Horizontal Unit: ms          Vertical Unit: A",
                   "Horizontal Unit: ms          Vertical Unit: RPM",
                   "Horizontal Unit: ms           Vertical Unit: Pulse");
}

FreeRunMonitor::FreeRunMonitor(SharedState& state, DriveLink& link, MessageSink& window,
                               SampleDoneListener& listener)
    : state_(state), link_(link), window_(window), listener_(listener) {}

FreeRunMonitor::~FreeRunMonitor() {
    close();
}

int32_t FreeRunMonitor::baseRate() const {
    return EffectiveBaseRate(state_.identity.baseSampleRateHz.load());
}

void FreeRunMonitor::loadType(CaptureKind kind, const char* caption, int32_t baseRateHz) {
    const FreeRunSettings& s = state_.freeRunSettings;
    view_.kind = kind;
    const int i = index();
    view_.sampleCount = s.sampleCount[i];
    view_.sampleRateHz = s.sampleRateHz[i];
    // A stored rate of 0 or less cannot be divided by; the fastest rate stands in.
    view_.sampleDivider = view_.sampleRateHz > 0 ? baseRateHz / view_.sampleRateHz : 1;
    view_.sampleDivider = std::max(view_.sampleDivider, kMinFreeRunDivider);
    view_.autoRun = s.triggerType[i] == 1 ? 1 : 0;
    view_.edge = s.triggerEdge[i] == 1 ? 1 : 0;
    view_.triggerValue = s.triggerValue[i];
    view_.waveOffset = s.waveOffset[i];
    view_.unit = UnitText(kind);
    view_.caption = caption;
}

bool FreeRunMonitor::open() {
    state_.loopCaptureRun.tuningActive = 0;
    const CaptureKind kind = KindOf(state_.freeRunSettings.monitorType);
    loadType(kind, OpeningCaption(kind), kOpeningBaseRateHz);
    FreeRunRequest& r = state_.freeRunRequest;
    r.monitorType = static_cast<int32_t>(kind);
    r.sampleCount = view_.sampleCount;
    r.sampleDivider = view_.sampleDivider;
    r.triggerMode = triggerMode();
    saved_ = SavedRequest{};
    dataValid_ = 0;
    connected_ = state_.link.driveConnected.load() == 1;
    if (connected_) {
        thread_ = std::make_unique<SampleThread>(state_, link_, listener_);
        if (!StartSampleThread(*thread_, window_)) {
            thread_.reset();  // the window stays usable for editing
        }
    }
    return connected_;
}

bool FreeRunMonitor::requestChanged() const {
    const bool same =
        saved_.autoRun == view_.autoRun && saved_.monitorType == static_cast<int32_t>(view_.kind) &&
        saved_.sampleCount == view_.sampleCount && saved_.sampleDivider == view_.sampleDivider &&
        ((saved_.triggerMode == kTriggerAutoRun && view_.autoRun == 1) ||
         saved_.triggerMode == view_.edge);
    return !same;
}

void FreeRunMonitor::fillRequest(bool withOffset) {
    FreeRunRequest& r = state_.freeRunRequest;
    r.monitorType = static_cast<int32_t>(view_.kind);
    r.sampleCount = view_.sampleCount;
    r.sampleDivider = view_.sampleDivider;
    r.triggerMode = triggerMode();
    r.triggerLevelRaw = TriggerLevelRaw(view_.kind, view_.triggerValue);
    if (withOffset) {
        r.preTriggerFraction = view_.waveOffset;
    }
}

void FreeRunMonitor::saveCopy() {
    const FreeRunRequest& r = state_.freeRunRequest;
    saved_ = {view_.autoRun,   r.monitorType, r.sampleCount,
              r.sampleDivider, r.triggerMode, r.triggerLevelRaw};
}

void FreeRunMonitor::startCapture() {
    if (thread_) {
        thread_->postStart();
    }
}

bool FreeRunMonitor::timerTick(PlotData& plot) {
    if (!connected_ || state_.link.driveConnected.load() != 1 || !requestChanged()) {
        return false;
    }
    fillRequest(false);
    if (view_.autoRun != 1) {
        return false;  // only kept up to date for the next "Refresh"
    }
    DecodeSamples(state_, plot, 0);
    dataValid_ = 0;
    saveCopy();
    startCapture();
    return thread_ != nullptr;
}

bool FreeRunMonitor::refresh() {
    if (!connected_ || view_.autoRun == 1 || state_.link.driveConnected.load() != 1) {
        return false;
    }
    fillRequest(true);
    saveCopy();
    armedLevel_ = LimitTriggerValue(view_.kind, view_.triggerValue);
    dataValid_ = 0;
    startCapture();
    return thread_ != nullptr;
}

void FreeRunMonitor::sampleDone(PlotData& plot) {
    if (thread_) {
        shape_ = thread_->decodeRecord(plot);
    }
    dataValid_ = 1;
    if (view_.autoRun == 1) {
        startCapture();
    }
}

CaptureState FreeRunMonitor::captureState() const {
    CaptureState s;
    s.connected = connected_;
    s.worker = thread_ != nullptr;
    s.phase = thread_ ? thread_->phase() : CapturePhase::Idle;
    s.armed = saved_.triggerMode != kTriggerAutoRun;
    s.edge = saved_.triggerMode;
    s.level = armedLevel_;
    s.kind = KindOf(saved_.monitorType);
    return s;
}

WaveformInput FreeRunMonitor::plotInput() const {
    return dataValid_ == 1 ? WaveformInputOf(shape_) : WaveformInputOf(state_);
}

void FreeRunMonitor::close() {
    if (thread_) {
        thread_->end();
        thread_.reset();
    }
}

void FreeRunMonitor::chooseType(CaptureKind kind) {
    state_.freeRunSettings.monitorType = static_cast<int32_t>(kind);
    loadType(kind, TypeCaption(kind), baseRate());
}

void FreeRunMonitor::chooseAutoRun(bool autoRun) {
    view_.autoRun = autoRun ? 1 : 0;
    state_.freeRunSettings.triggerType[index()] = view_.autoRun;
}

void FreeRunMonitor::chooseEdge(int32_t edge) {
    view_.edge = edge == kTriggerFalling ? kTriggerFalling : kTriggerRising;
    state_.freeRunSettings.triggerEdge[index()] = view_.edge;
}

void FreeRunMonitor::editSampleCount(int64_t typed) {
    view_.sampleCount = LimitSampleCount(view_.kind, typed);
    state_.freeRunSettings.sampleCount[index()] = view_.sampleCount;
}

void FreeRunMonitor::editSampleRate(int64_t typedHz) {
    if (typedHz <= 0) {
        return;
    }
    const SnappedRate snapped = SnapSampleRate(baseRate(), typedHz);
    view_.sampleDivider = snapped.divider;
    view_.sampleRateHz = snapped.rateHz;
    state_.freeRunSettings.sampleRateHz[index()] = view_.sampleRateHz;
}

void FreeRunMonitor::editTriggerValue(double typed) {
    view_.triggerValue = LimitTriggerValue(view_.kind, typed);
    state_.freeRunSettings.triggerValue[index()] = view_.triggerValue;
}

void FreeRunMonitor::editWaveOffset(double typed) {
    view_.waveOffset = TruncateWaveOffset(typed);
    state_.freeRunSettings.waveOffset[index()] = view_.waveOffset;
}

void FreeRunMonitor::spinSampleCount(int delta) {
    editSampleCount(int64_t{view_.sampleCount} - delta);
}

void FreeRunMonitor::spinSampleRate(int delta) {
    const int64_t divider = std::clamp<int64_t>(int64_t{view_.sampleDivider} + delta,
                                                kMinFreeRunDivider, kMaxFreeRunDivider);
    const SnappedRate snapped = RateOfDivider(baseRate(), divider);
    view_.sampleDivider = snapped.divider;
    view_.sampleRateHz = snapped.rateHz;
    state_.freeRunSettings.sampleRateHz[index()] = view_.sampleRateHz;
}

void FreeRunMonitor::spinTriggerValue(int delta) {
    editTriggerValue(view_.triggerValue - delta * TriggerSpinStep(view_.kind));
}

void FreeRunMonitor::spinWaveOffset(int delta) {
    const double next = view_.waveOffset - delta * kWaveOffsetSpinStep;
    view_.waveOffset = static_cast<float>(std::clamp(next, 0.0, 1.0));
    state_.freeRunSettings.waveOffset[index()] = view_.waveOffset;
}

}  // namespace qx
