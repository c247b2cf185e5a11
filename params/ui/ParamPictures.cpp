#include "params/ui/ParamPictures.h"

#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include "app/ui/GuiContext.h"
#include "app/ui/Pictures.h"
#include "params/ParamFile.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "params/ParamValues.h"
#include "params/WriteUserParam.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/ParamSheetView.h"

namespace qx::ui {

namespace {

class Silent final : public MessageSink {
  public:
    void show(const std::string&, const std::string&) override {}
};

class QuietLoad final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage, int) override {}
};

// The drive's parameters as a file, with a few speeds changed: another machine's set.
QString SavedMachineFile(PictureStage& stage, const QTemporaryDir& dir, const char* name) {
    ParamImage image{};
    UploadParams(stage.context().link(), image);
    SetParamWordInImage(image, 36, 250);
    SetParamWordInImage(image, 41, 300);
    SetParamWordInImage(image, 59, 60);
    const QString path = dir.filePath(QString::fromLatin1(name));
    WriteParamFile(QFile::encodeName(path).toStdString(), image);
    return path;
}

}  // namespace

QWidget* ParamTablePicture(PictureStage& stage) {
    stage.connectDrive();
    SharedState& state = stage.context().state();
    QuietLoad quiet;
    LoadParamTableInline(stage.context().link(), state, quiet);
    Silent silent;
    ParamChangeLog& log = state.parameterTable.changeLog;
    SetUserParam(stage.context().link(), state.userParamTable, &log, 30, 180, silent);
    NoteDriveParamEvent(state.parameterTable, DriveParamEvent::SaveToEeprom,
                        SaveToEepromCommand(stage.context().link(), silent));
    SetUserParam(stage.context().link(), state.userParamTable, &log, 37, 800, silent);

    QTemporaryDir dir;
    const QString path = SavedMachineFile(stage, dir, "machine-2.par");
    auto* dialog = new CParamTableDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    dialog->compareWithFile(path);
    dialog->view().filterEdit()->setText(QStringLiteral("speed"));
    dialog->view().selectPn(36);
    dialog->view().table()->scrollToTop();
    return dialog;
}

QWidget* ParamFilePicture(PictureStage& stage) {
    stage.connectDrive();
    QTemporaryDir dir;
    const QString path = SavedMachineFile(stage, dir, "machine-2.par");
    auto* dialog = new CParamFileDlg(stage.context(), stage.mainWindow());
    Silent silent;
    dialog->openFile(path, silent);
    dialog->prepare();
    dialog->view().model().setData(dialog->view().model().index(8, 2), QStringLiteral("001100"),
                                   Qt::EditRole);
    dialog->view().selectPn(8);
    dialog->view().table()->scrollToTop();
    return dialog;
}

}  // namespace qx::ui
