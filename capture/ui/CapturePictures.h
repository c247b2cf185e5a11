#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/ui/Pictures.h"

namespace qx::ui {

// Longest wait for the first step response of a tuning window's picture.
inline constexpr qint64 kPictureRecordWaitMs = 20'000;

// Lets the window program run until `done` holds or `limitMs` have passed.
template <typename Done>
void WaitUntil(Done done, qint64 limitMs) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// A loop tuning window connected to the simulated drive, shown once its first step
// response has been captured and drawn.
template <typename Dialog>
QWidget* TuningWindowPicture(PictureStage& stage) {
    stage.connectDrive();
    auto* dialog = new Dialog(stage.context(), stage.mainWindow());
    dialog->prepare();
    WaitUntil([dialog] { return dialog->recordsShown() > 0; }, kPictureRecordWaitMs);
    return dialog;
}

// A capture setting dialog with a drive accepted, so that its rate and preview are real.
template <typename Dialog>
QWidget* CaptureSettingPicture(PictureStage& stage) {
    stage.connectDrive();
    auto* dialog = new Dialog(stage.context(), stage.mainWindow());
    dialog->prepare();
    return dialog;
}

// The normal operation monitor with one speed record that fired on a rising edge
// through 500 rpm, a quarter of it before the trigger (marked on the time axis).
QWidget* TriggeredMonitorPicture(PictureStage& stage);

// The current loop window enlarged, a response with a lower Ki over the one kept as
// reference, both cursors placed and the metrics of both under the plot.
QWidget* TuningScopePicture(PictureStage& stage);

// The current loop window with the tuning assistant's panel open, after a search from a
// sluggish Ki has ended: its captures in the table, the best one as the reference.
QWidget* TuningAssistantPicture(PictureStage& stage);

}  // namespace qx::ui
