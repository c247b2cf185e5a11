// The parameter dialogs and File commands in the running window program, on a virtual
// clock with the simulated drive on COM1: what only the windows can get wrong.

#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <condition_variable>
#include <mutex>
#include <span>

#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/DialogUnits.h"
#include "params/ParamCatalog.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamLoadingDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/ParamSheetView.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using ParamDialogsTest = ShellTest;
const QString kEditorTitle = QStringLiteral("User parameters setting");

QString Text(QDialog& dialog, int id) {
    if (auto* edit = FindControl<QLineEdit>(&dialog, id)) {
        return edit->text();
    }
    if (auto* box = FindControl<QTextEdit>(&dialog, id)) {
        return box->toPlainText();
    }
    return FindControl<QLabel>(&dialog, id)->text();
}

// Every character of the help box's font has one width, so the bit tables keep their
// columns (a font may be fixed-pitch without saying so).
void ExpectFixedPitch(const QWidget* box) {
    const QFontMetrics metrics(box->font());
    for (const QChar c : QStringLiteral("iW|- 0m")) {
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('x')))
            << QString(c).toStdString();
    }
}

TEST_F(ParamDialogsTest, LoadingCannotBeEndedEarlyThenTheEditorOpens) {
    start();
    connectDrive();
    // Holds the worker at its tenth range pair until the test has tried to close the
    // dialog: without that, the load may be over before the dialog is first looked at.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    int gathers = 0;  // only the worker's thread counts
    const auto gather = drive->subCommandHandler(0x001A);
    drive->setSubCommandHandler(
        0x001A, [&, gather](sim::SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
            if (++gathers == 10) {
                std::unique_lock<std::mutex> lock(mutex);
                released.wait(lock, [&]() { return release; });
            }
            return gather(d, p, nowUs);
        });
    std::vector<QString> titles;
    bool stayedUp = false;
    whileOpen = [&](QDialog& dialog) {
        titles.push_back(dialog.windowTitle());
        if (dynamic_cast<CParamLoadingDlg*>(&dialog) != nullptr) {
            EXPECT_EQ(dialog.size(), DluSize(187, 54));
            EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
            dialog.reject();  // Escape
            dialog.accept();  // Enter
            dialog.close();   // the close box
            stayedUp = dialog.isVisible();
            std::lock_guard<std::mutex> lock(mutex);
            release = true;
            released.notify_all();
        }
    };
    choose(ID_PARAM_SETTING);
    EXPECT_TRUE(stayedUp) << "the loading dialog waits for the worker's final report";
    EXPECT_EQ(titles,
              (std::vector<QString>{QStringLiteral("Loading User Parameters ..."), kEditorTitle}));
    EXPECT_EQ(state.userParamTable.maximum[1], 21);

    CParamLoadingDlg dialog(*context, frame());
    dialog.onLoadProgress(ParamLoadStage::Values, 90);
    EXPECT_EQ(FindControl<QProgressBar>(&dialog, 1206)->value(), 90);
    EXPECT_EQ(Text(dialog, 1195), QStringLiteral("Loading user parameters' value..."));
    dialog.onLoadProgress(ParamLoadStage::Failed, 0);
    EXPECT_EQ(dialog.result(), 255);
}

// The editor's controls: the drive's values in, the spins and "Set" wired, its own boxes,
// and a help box of one glyph width in all three parameter windows.
TEST_F(ParamDialogsTest, TheEditorsControls) {
    start();
    connectDrive();
    drive->write(ParamWordAddress(8), 5);
    whileOpen = [&](QDialog& dialog) {
        if (dialog.windowTitle() != kEditorTitle) {
            return;
        }
        EXPECT_EQ(dialog.size(), DluSize(244, 173));
        EXPECT_EQ(Text(dialog, 1200), QStringLiteral("913"));
        EXPECT_EQ(Text(dialog, 1223), QStringLiteral("Software Version"));
        auto* help = FindControl<QTextEdit>(&dialog, 1221);
        ExpectFixedPitch(help);
        ExpectFixedPitch(CParamTableDlg(*context, frame()).view().helpBox());
        ExpectFixedPitch(CParamFileDlg(*context, frame()).view().helpBox());
        EXPECT_TRUE(help->isReadOnly());
        EXPECT_EQ(help->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        emit FindControl<DeltaSpin>(&dialog, 1201)->deltaPos(-8);  // to Pn 8
        EXPECT_TRUE(Text(dialog, 1221).contains(QStringLiteral("ServoEn")));
        EXPECT_FALSE(Text(dialog, 1221).contains(QLatin1Char('\r')));
        EXPECT_EQ(Text(dialog, 1200), QStringLiteral("000101"));
        emit FindControl<DeltaSpin>(&dialog, 1202)->deltaPos(-1);
        FindControl<QPushButton>(&dialog, 1205)->click();
        EXPECT_TRUE(dialog.isVisible()) << "Set does not close the editor";
        emit FindControl<QLineEdit>(&dialog, 1199)->textEdited(QStringLiteral("x"));
    };
    choose(ID_PARAM_SETTING);
    EXPECT_EQ(drive->read(ParamWordAddress(8)), 6);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Invalid input value!"});
    EXPECT_NE(boxes[0].owner, frame()) << "the editor's own box";
}

// Typed key by key, a text that cannot be complete yet waits; leaving the field reads it.
TEST_F(ParamDialogsTest, TypingKeyByKeyWaitsForTheWholeEntry) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& dialog) {
        if (dialog.windowTitle() != kEditorTitle) {
            return;
        }
        Activate(dialog);
        auto* number = FindControl<QLineEdit>(&dialog, 1199);
        auto* value = FindControl<QLineEdit>(&dialog, 1200);
        const auto type = [](QLineEdit* edit, const char* keys) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, QString::fromLatin1(keys));
        };
        const std::pair<const char*, const char*> cases[] = {
            {"30", "200"},     // Pn 30 starts at 1: an empty field was "1", then "1200"
            {"36", "-100"},    // a lone "-" was 0, then "0100"
            {"8", "001100"}};  // a box at each of the first five digits
        for (const auto& [pn, keys] : cases) {
            type(number, pn);
            type(value, keys);
            EXPECT_EQ(value->text(), QString::fromLatin1(keys)) << pn;
        }
        EXPECT_TRUE(boxes.empty());
        FindControl<QPushButton>(&dialog, 1205)->click();
        type(number, "");
        EXPECT_EQ(Text(dialog, 1223),
                  QStringLiteral("Inverting enable of low part CN2 input signals"));
        value->setFocus();
        EXPECT_EQ(number->text(), QStringLiteral("0")) << "an empty Pn left is Pn 0";
        type(number, "8");
        type(value, "01");
        EXPECT_TRUE(boxes.empty());
        number->setFocus();
        EXPECT_EQ(boxTexts(), std::vector<std::string>{"Invalid input value!"});
    };
    choose(ID_PARAM_SETTING);
    EXPECT_EQ(drive->read(ParamWordAddress(8)), 12);
    EXPECT_EQ(state.parameterTable.changeLog.entries().size(), 1u) << "Set is logged";
}

// After "Load Default ", a download or a new connection the table is loaded afresh.
TEST_F(ParamDialogsTest, TheCacheIsLoadedAfreshAfterTheDriveChangedBehindIt) {
    start();
    connectDrive();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("drive.par"));
    fileAnswers.push_back(file);
    choose(ID_PARAM_UPLOAD);
    std::vector<QString> titles;
    whileOpen = [&](QDialog& dialog) { titles.push_back(dialog.windowTitle()); };
    for (const int command : {ID_LOAD_DEFAULT, ID_PARAM_DOWNLOAD, ID_COM1}) {
        choose(ID_PARAM_SETTING);
        ASSERT_EQ(state.parameterTable.parametersLoaded, 1u);
        drive->write(ParamWordAddress(41), 777);  // Load Default and the file hold 120
        fileAnswers.push_back(file);
        choose(command);
        titles.clear();
        choose(ID_PARAM_SETTING);
        ASSERT_FALSE(titles.empty());
        EXPECT_EQ(titles[0], QStringLiteral("Loading User Parameters ...")) << command;
        EXPECT_EQ(state.userParamTable.value[41], drive->read(ParamWordAddress(41))) << command;
    }
}

// The file dialogs: their filter, the path remembered, ".par" added to a name typed
// without it in the real dialog; the commands' boxes belong to the main window.
TEST_F(ParamDialogsTest, FileDialogsAndTheirParSuffix) {
    start();
    connectDrive();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.par"));
    fileAnswers.push_back(path);
    choose(ID_PARAM_UPLOAD);
    choose(ID_PARAM_DOWNLOAD);  // cancelled
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(fileRequests[0].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(fileRequests[1].mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(fileRequests[1].filter, QStringLiteral("Servo Parameters File(*.par)|*.par||"));
    EXPECT_TRUE(fileRequests[0].defaultName.isEmpty());
    EXPECT_EQ(app->lastParameterPath(), path);
    choose(ID_SAVE_EEPROM);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(boxes[1].owner, frame());

    context->setFileDialogRunner([&dir](const FileDialogRequest& request) {
        QTimer::singleShot(0, [&dir]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(dir.filePath(QStringLiteral("typed")));
            static_cast<QDialog*>(dialog)->accept();
        });
        return RunFileDialog(request);
    });
    choose(ID_PARAM_UPLOAD);
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("typed.par"))).size(), 1024);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("typed"))));
}

}  // namespace
}  // namespace qx::test
