#include "capture/ui/LoopTuningDialog.h"

#include <QMetaObject>
#include <QPushButton>
#include <optional>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/PlainButton.h"
#include "app/ui/WaitCursor.h"
#include "capture/GainSearchRun.h"
#include "capture/StepMetrics.h"
#include "capture/StepOutcome.h"
#include "capture/TuningEdits.h"
#include "capture/TuningStep.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"
#include "capture/ui/TunePanel.h"

namespace qx::ui {

namespace {

// "Tune..." stands left of OK, as large, this far from it (form pixels: 6 dialog units).
constexpr int kTuneButtonGap = 9;

}  // namespace

LoopTuningDialog::LoopTuningDialog(GuiContext& context, QWidget* parent, CaptureKind kind)
    : ModalDialog(context, parent),
      kind_(kind),
      windowMessages_(context.messagesFor(this)),
      mainMessages_(context.messagesFor(parent)),
      assistant_(kind) {
    tuner_ = std::make_unique<LoopTuner>(context.state(), context.link(), kind, *windowMessages_,
                                         *mainMessages_, *this);
    timer_.setInterval(static_cast<int>(kTuningTimerMs));
    connect(&timer_, &QTimer::timeout, this, &LoopTuningDialog::onTimer);
}

LoopTuningDialog::~LoopTuningDialog() {
    // Hiding the window on its way out takes the focus from an edit; its handlers belong
    // to the part of the window already gone.
    for (CommitLineEdit* edit : findChildren<CommitLineEdit*>()) {
        disconnect(edit, nullptr, this, nullptr);
    }
    closeTuning();
}

void LoopTuningDialog::setPlotControl(ImageFrame* plot) {
    plotControl_ = plot;
    // Every record of the window is a response to the same known step.
    auto metricsOf = [this](const PlotData& record, const RecordShape& shape) {
        const TuningStep step = TuningStepOf(TuningStepSpecOf(context().state()));
        const std::span<const float> feedback(record.trace2.data(),
                                              static_cast<std::size_t>(std::max(shape.count, 0)));
        return MetricsLine(ComputeStepMetrics(StepResponseOf(step, feedback)), shape.kind);
    };
    addTuneButton();  // before the scope, which anchors the controls in place
    scope_ = new CaptureScope(*this, *plot, context(), metricsOf);
    panel_ = new TunePanel(this);
    scope_->setPanel(panel_);
    connect(tuneButton_, &QPushButton::clicked, this, [this] {
        scope_->showPanel(!panel_->isVisible());
        followAssistant();
    });
    connect(panel_, &TunePanel::startClicked, this, &LoopTuningDialog::startSearch);
    connect(panel_, &TunePanel::stopClicked, this, [this] {
        assistant_.stop();
        followAssistant();
    });
    connect(panel_, &TunePanel::applyClicked, this, [this] {
        assistant_.apply();
        followAssistant();
    });
    connect(panel_, &TunePanel::discardClicked, this, [this] {
        assistant_.discard();
        followAssistant();
    });
}

void LoopTuningDialog::addTuneButton() {
    const QPushButton* ok = FindControl<QPushButton>(this, kIdOk);
    tuneButton_ = PlainButton("Tune...", "tuneButton", this);
    tuneButton_->setEnabled(false);
    const QRect at = ok->geometry();
    tuneButton_->setGeometry(at.translated(-(at.width() + kTuneButtonGap), 0));
}

uint32_t LoopTuningDialog::nowMs() {
    return context().clock().tickMs();
}

void LoopTuningDialog::startSearch() {
    SharedState& state = context().state();
    assistant_.start(SharedGains(state, kind_), panel_->target(), SearchCaptureLimitMs(state),
                     nowMs());
    followAssistant();
}

void LoopTuningDialog::followAssistant() {
    if (const std::optional<LoopGains> gains = assistant_.takeWindowGains()) {
        takeGains(*gains);
        StoreGains(context().state(), kind_, *gains);
        updateData(false);
    }
    if (panel_ == nullptr) {
        return;
    }
    // The edits belong to the search from Start to the engineer's choice.
    const bool canTune = capturing() && !withoutGains_;
    const bool idle = assistant_.phase() == AssistantPhase::Idle;
    for (CommitLineEdit* edit : findChildren<CommitLineEdit*>()) {
        edit->setEnabled(idle && !withoutGains_);
    }
    for (DeltaSpin* spin : findChildren<DeltaSpin*>()) {
        spin->setEnabled(idle && !withoutGains_);
    }
    tuneButton_->setEnabled(canTune && idle);
    panel_->showAssistant(assistant_, canTune);
}

void LoopTuningDialog::sampleDone() {
    QMetaObject::invokeMethod(
        this, [this] { onSampleDone(); }, Qt::QueuedConnection);
}

void LoopTuningDialog::done(int result) {
    closeTuning();
    ModalDialog::done(result);
}

void LoopTuningDialog::onInitDialog() {
    const bool connected = context().state().link.driveConnected.load() == 1;
    tuner_->open();
    takeGains(tuner_->values());
    if (connected) {
        timer_.start();
    }
    updateData(false);
    if (scope_ != nullptr) {
        scope_->showState(tuner_->captureState());
    }
    withoutGains_ = connected && !tuner_->gainsRead();
    if (withoutGains_) {
        // Nothing read, nothing to edit: empty edits rather than zeros that look like the
        // drive's values and that OK would refuse.
        for (CommitLineEdit* edit : findChildren<CommitLineEdit*>()) {
            edit->clear();
        }
    }
    followAssistant();  // which controls the engineer may use
}

void LoopTuningDialog::onOK() {
    if (withoutGains_) {
        endDialog(kIdOk);
        return;
    }
    ModalDialog::onOK();
}

void LoopTuningDialog::wire(CommitLineEdit* edit, DeltaSpin* spin, std::function<void()> committed,
                            std::function<void(int)> spun) {
    connect(edit, &CommitLineEdit::committed, this, std::move(committed));
    connect(spin, &DeltaSpin::deltaPos, this, std::move(spun));
}

void LoopTuningDialog::wireGains(
    std::initializer_list<std::pair<CommitLineEdit*, DeltaSpin*>> controls) {
    int index = 0;
    for (const auto& [edit, spin] : controls) {
        wire(
            edit, spin,
            [this, index] {
                updateData(true);
                storeGain(index);
                updateData(false);
            },
            [this, index](int delta) {
                updateData(true);
                gains_[index] -= delta;
                storeGain(index);
                updateData(false);
            });
        ++index;
    }
}

void LoopTuningDialog::takeGains(const LoopGains& gains) {
    for (int k = 0; k < GainCount(kind_); ++k) {
        gains_[k] = gains.words[k];
    }
}

void LoopTuningDialog::storeGain(int index) {
    gains_[index] = ClampGain(kind_, index, gains_[index]);
    LoopGains g;
    g.count = GainCount(kind_);
    for (int k = 0; k < g.count; ++k) {
        g.words[k] = gains_[k];
    }
    StoreGains(context().state(), kind_, g);
}

void LoopTuningDialog::onTimer() {
    if (context().state().link.driveConnected.load() != 1) {
        return;
    }
    if (assistant_.tick(nowMs())) {
        followAssistant();  // no record of the proposal within the limit: a failed capture
    }
    tuner_->timerTick();
    redraw();
    if (scope_ != nullptr) {
        scope_->showState(tuner_->captureState());
    }
}

void LoopTuningDialog::onSampleDone() {
    if (!tuner_ || !tuner_->capturing()) {
        return;  // a record that arrived while the window closed
    }
    tuner_->sampleDone(plot_, false);
    const RecordShape& shape = tuner_->recordShape();
    if (scope_ != nullptr) {
        scope_->recordShown(plot_, shape);
    }
    ++recordsShown_;
    redraw();
    SharedState& state = context().state();
    const std::span<const float> feedback(plot_.trace2.data(),
                                          static_cast<std::size_t>(std::max(shape.count, 0)));
    // Only the search's records are measured; the others only tell whether the drive
    // has caught up with the edits.
    const bool searching = assistant_.phase() == AssistantPhase::Searching;
    const bool behind = assistant_.driveBehind();
    const RecordUse use = assistant_.recordArrived(
        shape, searching ? MeasureTuningRecord(state, feedback) : CaptureOutcome{},
        SharedGains(state, kind_), nowMs());
    if (use == RecordUse::NewBest && scope_ != nullptr) {
        scope_->keepReference();
    }
    if (use != RecordUse::Ignored || assistant_.driveBehind() != behind) {
        followAssistant();
    }
    // The next capture carries the assistant's next gains, if it gave any.
    tuner_->captureNext();
}

void LoopTuningDialog::redraw() {
    if (scope_ != nullptr) {
        scope_->draw(tuner_->plotInput(), plot_, tuner_->dataValid());
    }
}

void LoopTuningDialog::closeTuning() {
    timer_.stop();
    // Closing mid-search stops it: the starting gains go back with the window.
    assistant_.stop();
    if (const std::optional<LoopGains> gains = assistant_.takeWindowGains()) {
        StoreGains(context().state(), kind_, *gains);
    }
    if (tuner_) {
        const char* unwritten = assistant_.driveBehind() ? assistant_.unwrittenText() : nullptr;
        std::optional<WaitCursor> wait;
        if (unwritten != nullptr && tuner_->capturing()) {
            wait.emplace();
        }
        tuner_->close(unwritten);
    }
}

}  // namespace qx::ui
