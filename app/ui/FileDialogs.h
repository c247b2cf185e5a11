#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace qx::ui {

// What a command asks of an open or save file dialog.
struct FileDialogRequest {
    enum class Mode { Open, Save };

    Mode mode = Mode::Open;
    QWidget* owner = nullptr;
    // Filter in the form "Description|pattern|Description|pattern||", for example
    // "Servo Parameters File(*.par)|*.par||". Empty means all files.
    QString filter;
    QString defaultName;       // file name proposed in a save dialog
    QString defaultExtension;  // "par": appended to a saved name typed without one
    QString title;             // empty: "Open" or "Save As"
};

// The filter in Qt's form: "Servo Parameters File(*.par)" stays as it is, a description
// without its patterns gets them appended.
QString QtFileFilter(const QString& filter);

// Runs the dialog modally; the chosen path, or nothing when the user cancelled.
std::optional<QString> RunFileDialog(const FileDialogRequest& request);

}  // namespace qx::ui
