#include "params/ui/ParamCompareFile.h"

#include <QFile>
#include <QFileInfo>

#include "app/ui/GuiContext.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"

namespace qx::ui {

std::optional<QString> AskForParamFilePath(GuiContext& context, QWidget* owner, bool save) {
    FileDialogRequest request;
    request.mode = save ? FileDialogRequest::Mode::Save : FileDialogRequest::Mode::Open;
    request.owner = owner;
    request.filter = QString::fromLatin1(kParamFileFilter);
    request.defaultExtension = QString::fromLatin1(kParamFileSuffix);
    return context.askFileName(request);
}

std::optional<ComparedFile> ReadComparedFile(const QString& path, MessageSink& owner) {
    ParamImage image{};
    if (const auto error = ReadParamFile(QFile::encodeName(path).toStdString(), image)) {
        owner.show(*error, kTitleWarning);
        return std::nullopt;
    }
    return ComparedFile{QFileInfo(path).fileName(), ParamValuesOfImage(image)};
}

}  // namespace qx::ui
