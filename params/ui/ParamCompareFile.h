#pragma once

#include <QString>
#include <optional>

#include "params/ParamValues.h"

class QWidget;

namespace qx {
class MessageSink;
}

namespace qx::ui {

class GuiContext;

// A parameter file read for comparison.
struct ComparedFile {
    QString name;  // the file's name without its folder
    ParamValues values{};
};

// Reads a parameter file for comparison. A file that cannot be read or is not exactly
// 1024 bytes is reported to `owner` and nothing is read.
std::optional<ComparedFile> ReadComparedFile(const QString& path, MessageSink& owner);

// The file dialog of a parameter file: the .par filter, ".par" added to a name typed
// without a suffix.
std::optional<QString> AskForParamFilePath(GuiContext& context, QWidget* owner, bool save);

}  // namespace qx::ui
