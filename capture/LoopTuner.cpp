#include "capture/LoopTuner.h"

#include "capture/CaptureControl.h"
#include "capture/DecodeSamples.h"
#include "capture/GainSearchRun.h"
#include "capture/TuningRequest.h"
#include "link/DriveCommands.h"

namespace qx {

namespace {

constexpr int32_t kDefaultKi = 2000;

}  // namespace

LoopGains DefaultGains(CaptureKind kind) {
    switch (kind) {
        case CaptureKind::Speed:
            return {{100, 50, 500, 500}, 4};
        case CaptureKind::Position:
            return {{400, 0, 100, 0}, 3};
        case CaptureKind::Current:
            break;
    }
    return {{0, 0, 0, kDefaultKi}, 4};
}

uint32_t ReadLoopGains(DriveLink& link, CaptureKind kind, LoopGains& gains) {
    // The speed words answer quickly; the others may sit behind slower drive work.
    const uint32_t budget = kind == CaptureKind::Speed ? kBudgetShortMs : kBudgetLongMs;
    const int count = GainCount(kind);
    Clock& clock = link.clock();
    const uint32_t start = clock.tickMs();
    uint32_t status = 0;
    do {
        Session session(link);
        status = session.open();
        if (status == kStatusOk) {
            status = ReadWords(link, session.next(), GainAddress(kind), static_cast<uint8_t>(count),
                               budget);
        }
        if (status == kStatusOk) {
            gains.count = count;
            for (int k = 0; k < count; ++k) {
                gains.words[k] = link.replyWord(k);
            }
            return status;
        }
    } while (clock.elapsedMs(start) <= kReadGainsLimitMs);
    return status;
}

LoopTuner::LoopTuner(SharedState& state, DriveLink& link, CaptureKind kind, MessageSink& window,
                     MessageSink& mainWindow, SampleDoneListener& listener)
    : state_(state),
      link_(link),
      kind_(kind),
      window_(window),
      mainWindow_(mainWindow),
      listener_(listener),
      values_(DefaultGains(kind)) {
    saved_.count = GainCount(kind);
}

LoopTuner::~LoopTuner() {
    close();
}

bool LoopTuner::open() {
    if (!prepare()) {
        return false;
    }
    thread_ = std::make_unique<SampleThread>(state_, link_, listener_);
    if (!StartSampleThread(*thread_, window_)) {
        thread_.reset();
        return false;
    }
    saved_ = LoopGains{};
    saved_.count = GainCount(kind_);
    dataValid_ = 0;
    return true;
}

bool LoopTuner::prepare() {
    state_.loopCaptureRun.tuningActive = 1;
    if (state_.link.driveConnected.load() == 0) {
        return false;  // the window shows its defaults and never captures
    }
    closed_ = false;
    openedConnected_ = true;
    values_ = LoopGains{};
    values_.count = GainCount(kind_);
    const uint32_t read = ReadLoopGains(link_, kind_, values_);
    gainsRead_ = read == kStatusOk;
    if (gainsRead_) {
        if (kind_ == CaptureKind::Current) {
            // Ls, Rs and Ke are the motor's data and go to the shared model at once;
            // Ki follows once the capture set-up has been accepted.
            LoopGains model = SharedGains(state_, kind_);
            model.words[0] = values_.words[0];
            model.words[1] = values_.words[1];
            model.words[2] = values_.words[2];
            StoreGains(state_, kind_, model);
        } else {
            state_.link.driveConnected = 1;
        }
    } else {
        state_.link.driveConnected = 0;
        window_.show("Communication with Servo Fails!", kTitleWarning);
    }

    FillTuningRequest(state_, kind_);
    const bool setUp = SetupCapture(link_, state_) == kStatusOk;
    if (!setUp && gainsRead_) {
        // The drive refuses every step test until it has the set-up: a worker would start
        // its capture over and over, and the window would wait for a record in silence.
        state_.link.driveConnected = 0;
        window_.show("Communication with Servo Fails!", kTitleWarning);
    }
    // Every capture writes the window's gains to the drive: without the drive's own
    // values to start from that would overwrite its tuning with guesses.
    if (!setUp || state_.link.driveConnected.load() != 1 || !gainsRead_) {
        return false;
    }
    StoreGains(state_, kind_, values_);
    return true;
}

bool LoopTuner::timerTick() {
    if (state_.link.driveConnected.load() != 1 || !thread_) {
        return false;
    }
    const LoopGains now = SharedGains(state_, kind_);
    if (now == saved_) {
        return false;
    }
    thread_->postStart();
    saved_ = now;
    dataValid_ = 0;
    return true;
}

void LoopTuner::sampleDone(PlotData& plot, bool next) {
    if (thread_) {
        shape_ = thread_->decodeRecord(plot);
    } else {
        DecodeSamples(state_, plot, 1);
        shape_ = CurrentRecordShape(state_);
    }
    dataValid_ = 1;
    if (next && thread_) {
        thread_->postStart();
    }
    saved_ = SharedGains(state_, kind_);
}

void LoopTuner::captureNext() {
    if (thread_) {
        thread_->postStart();
    }
    saved_ = SharedGains(state_, kind_);
}

CaptureState LoopTuner::captureState() const {
    CaptureState s;
    s.connected = openedConnected_;
    s.gainsUnread = openedConnected_ && !gainsRead_;
    s.worker = thread_ != nullptr;
    s.phase = thread_ ? thread_->phase() : CapturePhase::Idle;
    s.kind = kind_;
    return s;
}

WaveformInput LoopTuner::plotInput() const {
    return dataValid_ == 1 ? WaveformInputOf(shape_) : WaveformInputOf(state_);
}

void LoopTuner::close(const char* unwrittenText) {
    if (closed_) {
        return;
    }
    closed_ = true;
    const bool captured = thread_ != nullptr;
    if (thread_) {
        thread_->end();
        thread_.reset();
    }
    if (state_.link.driveConnected.load() != 1) {
        return;
    }
    if (captured && unwrittenText != nullptr) {
        // The worker has ended: the link is this thread's until the servo is off.
        CaptureSequence sequence(link_);
        if (sequence.runWithin(SnapshotCaptureJob(state_), SearchCaptureLimitMs(state_)) !=
            CaptureRun::Recorded) {
            mainWindow_.show(unwrittenText, kTitleWarning);
        }
    }
    StopCapture(link_, state_, mainWindow_);
}

}  // namespace qx
