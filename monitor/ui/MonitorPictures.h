#pragma once

class QWidget;

namespace qx::ui {

class PictureStage;

// The two monitor dialogs as the pictures show them: a connected drive whose status was
// polled, the boxes and lamps filled from it, and the monitor thread stopped again so
// the pictures that follow have the link to themselves.
QWidget* ServoStatePicture(PictureStage& stage);
QWidget* PortsStatePicture(PictureStage& stage);

}  // namespace qx::ui
