#pragma once

class QWidget;

namespace qx::ui {

class PictureStage;

// The motor setup's windows for the pictures program, each in a state worth showing.
QWidget* MotorSettingPicture(PictureStage& stage);
QWidget* MotorMatchingPicture(PictureStage& stage);
QWidget* EncoderFixingPicture(PictureStage& stage);
QWidget* MagnetDirectionPicture(PictureStage& stage);

}  // namespace qx::ui
