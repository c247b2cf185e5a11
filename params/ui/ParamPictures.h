#pragma once

class QWidget;

namespace qx::ui {

class PictureStage;

// The parameter workbench's windows for the pictures program: the Parameter Table
// filtered and compared with a file, after a few writes; the Parameter File window with
// a file opened offline and one value changed.
QWidget* ParamTablePicture(PictureStage& stage);
QWidget* ParamFilePicture(PictureStage& stage);

}  // namespace qx::ui
