#include "capture/ui/CapturePictures.h"

#include "capture/ui/CNormalMonitorDlg.h"

namespace qx::ui {

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
    QElapsedTimer waited;
    waited.start();
    while (dialog->recordsShown() == 0 && waited.elapsed() < kPictureRecordWaitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return dialog;
}

}  // namespace qx::ui
