#include "capture/ui/LoopTuningDialog.h"

#include <QMetaObject>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/DeltaSpin.h"
#include "capture/StepMetrics.h"
#include "capture/TuningEdits.h"
#include "capture/TuningStep.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"

namespace qx::ui {

LoopTuningDialog::LoopTuningDialog(GuiContext& context, QWidget* parent, CaptureKind kind)
    : ModalDialog(context, parent),
      kind_(kind),
      windowMessages_(context.messagesFor(this)),
      mainMessages_(context.messagesFor(parent)) {
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
    scope_ = new CaptureScope(*this, *plot, context(), metricsOf);
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
            edit->setEnabled(false);
        }
        for (DeltaSpin* spin : findChildren<DeltaSpin*>()) {
            spin->setEnabled(false);
        }
    }
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
    tuner_->sampleDone(plot_);
    if (scope_ != nullptr) {
        scope_->recordShown(plot_, tuner_->recordShape());
    }
    ++recordsShown_;
    redraw();
}

void LoopTuningDialog::redraw() {
    if (scope_ != nullptr) {
        scope_->draw(tuner_->plotInput(), plot_, tuner_->dataValid());
    }
}

void LoopTuningDialog::closeTuning() {
    timer_.stop();
    if (tuner_) {
        tuner_->close();
    }
}

}  // namespace qx::ui
