#include "params/ui/ParamMenuCommands.h"

#include <QFile>
#include <optional>

#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiContext.h"
#include "app/ui/WaitCursor.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamLoadingDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/CUserParamDlg.h"
#include "params/ui/ParamCompareFile.h"

namespace qx::ui {

namespace {

// The loading dialog, then `Editor`: the parameter editor or the Parameter Table.
template <typename Editor>
class WindowDialogs final : public ParamSettingDialogs {
  public:
    WindowDialogs(GuiContext& context, QWidget* mainWindow)
        : context_(context), mainWindow_(mainWindow) {}
    int runLoadingDialog() override {
        CParamLoadingDlg dialog(context_, mainWindow_);
        return context_.runModal(dialog);
    }
    void runEditor() override {
        Editor dialog(context_, mainWindow_);
        context_.runModal(dialog);
    }

  private:
    GuiContext& context_;
    QWidget* mainWindow_;
};

// The file dialog of a parameter command. The wait cursor is off while it is up and on
// again once a file was chosen, for the exchange with the drive that follows.
PathChooser AskForParamFile(GuiContext& context, QWidget* mainWindow, FileDialogRequest::Mode mode,
                            std::optional<WaitCursor>& busy) {
    return [&context, mainWindow, mode, &busy]() -> std::optional<std::string> {
        busy.reset();
        FileDialogRequest request;
        request.mode = mode;
        request.owner = mainWindow;
        request.filter = QString::fromLatin1(kParamFileFilter);
        // A name typed without a suffix gets ".par", or the open dialog's filter would
        // never list the file again.
        request.defaultExtension = QString::fromLatin1(kParamFileSuffix);
        const std::optional<QString> path = context.askFileName(request);
        if (!path) {
            return std::nullopt;
        }
        busy.emplace();
        return QFile::encodeName(*path).toStdString();
    };
}

std::string LastPath(const CQuendrixApp& app) {
    return QFile::encodeName(app.lastParameterPath()).toStdString();
}

void RememberPath(CQuendrixApp& app, const std::string& path) {
    app.setLastParameterPath(QFile::decodeName(QByteArray::fromStdString(path)));
}

}  // namespace

void ParametersSettingMenuCommand(GuiContext& context, QWidget* mainWindow) {
    WindowDialogs<CUserParamDlg> dialogs(context, mainWindow);
    const auto owner = context.messagesFor(mainWindow);
    ParametersSettingCommand(context.state().parameterTable, dialogs, *owner);
}

void ParameterTableMenuCommand(GuiContext& context, QWidget* mainWindow) {
    WindowDialogs<CParamTableDlg> dialogs(context, mainWindow);
    const auto owner = context.messagesFor(mainWindow);
    ParametersSettingCommand(context.state().parameterTable, dialogs, *owner);
}

void ParameterFileMenuCommand(GuiContext& context, QWidget* mainWindow) {
    const std::optional<QString> path = AskForParamFilePath(context, mainWindow, false);
    if (!path) {
        return;
    }
    const auto owner = context.messagesFor(mainWindow);
    CParamFileDlg dialog(context, mainWindow);
    if (dialog.openFile(*path, *owner)) {
        context.runModal(dialog);
    }
}

void ParametersUploadMenuCommand(CQuendrixApp& app, GuiContext& context, QWidget* mainWindow) {
    const auto owner = context.messagesFor(mainWindow);
    std::optional<WaitCursor> busy;
    busy.emplace();
    std::string lastPath = LastPath(app);
    ParametersUploadCommand(
        context.link(), context.state().parameterImage, *owner,
        AskForParamFile(context, mainWindow, FileDialogRequest::Mode::Save, busy), lastPath);
    busy.reset();
    RememberPath(app, lastPath);
}

void ParametersDownloadMenuCommand(CQuendrixApp& app, GuiContext& context, QWidget* mainWindow) {
    const auto owner = context.messagesFor(mainWindow);
    std::optional<WaitCursor> busy;
    std::string lastPath = LastPath(app);
    const CommandOutcome outcome = ParametersDownloadCommand(
        context.link(), context.state().parameterImage, *owner,
        AskForParamFile(context, mainWindow, FileDialogRequest::Mode::Open, busy), lastPath);
    NoteDriveParamEvent(context.state().parameterTable, DriveParamEvent::Download, outcome);
    busy.reset();
    RememberPath(app, lastPath);
}

void SaveToEepromMenuCommand(GuiContext& context, QWidget* mainWindow) {
    const auto owner = context.messagesFor(mainWindow);
    WaitCursor busy;
    NoteDriveParamEvent(context.state().parameterTable, DriveParamEvent::SaveToEeprom,
                        SaveToEepromCommand(context.link(), *owner));
}

void LoadDefaultMenuCommand(GuiContext& context, QWidget* mainWindow) {
    const auto owner = context.messagesFor(mainWindow);
    WaitCursor busy;
    NoteDriveParamEvent(context.state().parameterTable, DriveParamEvent::LoadDefault,
                        LoadDefaultCommand(context.link(), *owner));
}

}  // namespace qx::ui
