#include "capture/ui/CapturePictures.h"

#include <QPushButton>

#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "capture/ui/CCurrentLoopDlg.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/TunePanel.h"

namespace qx::ui {

namespace {

constexpr QSize kScopePictureGrowth{300, 160};
constexpr int kScopePictureKi = 500;
// The step of the current loop's start-up settings, 25 ms into the record at 4 kHz.
constexpr int kScopePictureStepPoint = 100;
constexpr int kScopePictureCursorGap = 10;
// A sluggish start for the assistant's picture, and the longest wait for its search.
constexpr int kAssistantPictureKi = 250;
constexpr qint64 kAssistantPictureWaitMs = 60'000;

template <typename Dialog>
void WaitForRecords(Dialog* dialog, int records) {
    WaitUntil([dialog, records] { return dialog->recordsShown() >= records; },
              kPictureRecordWaitMs);
}

}  // namespace

QWidget* TuningScopePicture(PictureStage& stage) {
    auto* dialog = static_cast<CCurrentLoopDlg*>(TuningWindowPicture<CCurrentLoopDlg>(stage));
    dialog->resize(dialog->size() + kScopePictureGrowth);
    CaptureScope& scope = *dialog->scope();
    scope.action("keepReference")->trigger();
    auto* ki = FindControl<CommitLineEdit>(dialog, 1229);
    ki->setText(QString::number(kScopePictureKi));
    emit ki->committed();
    // Cursors on the step and 2.5 ms after it; the record after the one under way has
    // the new gain.
    scope.view().setCursor(PlotCursor::A, kScopePictureStepPoint);
    scope.view().setCursor(PlotCursor::B, kScopePictureStepPoint + kScopePictureCursorGap);
    WaitForRecords(dialog, dialog->recordsShown() + 2);
    return dialog;
}

QWidget* TuningAssistantPicture(PictureStage& stage) {
    auto* dialog = static_cast<CCurrentLoopDlg*>(TuningWindowPicture<CCurrentLoopDlg>(stage));
    auto* ki = FindControl<CommitLineEdit>(dialog, 1229);
    ki->setText(QString::number(kAssistantPictureKi));
    emit ki->committed();
    WaitForRecords(dialog, dialog->recordsShown() + 2);
    dialog->tuneButton()->click();
    dialog->tunePanel()->startButton()->click();
    WaitUntil([dialog] { return dialog->assistant().phase() != AssistantPhase::Searching; },
              kAssistantPictureWaitMs);
    return dialog;
}

QWidget* TriggeredMonitorPicture(PictureStage& stage) {
    stage.connectDrive();
    SharedState& state = stage.context().state();
    state.freeRunSettings.monitorType = static_cast<int32_t>(CaptureKind::Speed);
    auto* dialog = new CNormalMonitorDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    FreeRunMonitor& monitor = dialog->monitor();
    monitor.chooseAutoRun(false);
    monitor.chooseEdge(kTriggerRising);
    monitor.editTriggerValue(500.0);
    monitor.editWaveOffset(0.25);
    dialog->updateData(false);
    dialog->refresh();
    WaitUntil([dialog] { return dialog->recordsShown() > 0; }, kPictureRecordWaitMs);
    return dialog;
}

}  // namespace qx::ui
