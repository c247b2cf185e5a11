// The parameter dialogs and File commands in the running window program, on a virtual
// clock with the simulated drive on COM1.

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

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/DialogUnits.h"
#include "params/ParamCatalog.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamLoadingDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/CUserParamDlg.h"
#include "params/ui/ParamSheetView.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using ParamDialogsTest = ShellTest;

// Types into an edit as the user does: the edit's change handler runs at once.
void Type(QDialog& dialog, int id, const QString& text) {
    auto* edit = FindControl<QLineEdit>(&dialog, id);
    ASSERT_NE(edit, nullptr) << id;
    edit->selectAll();
    edit->insert(text);
}

QString Text(QDialog& dialog, int id) {
    if (auto* edit = FindControl<QLineEdit>(&dialog, id)) {
        return edit->text();
    }
    if (auto* label = FindControl<QLabel>(&dialog, id)) {
        return label->text();
    }
    if (auto* box = FindControl<QTextEdit>(&dialog, id)) {
        return box->toPlainText();
    }
    return {};
}

// A box whose characters all have one width: the bit tables keep their columns.
void ExpectFixedPitch(const QWidget* box) {
    const QFontMetrics metrics(box->font());
    for (const QChar c : QStringLiteral("iW|- 0m")) {
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('x')))
            << QString(c).toStdString();
    }
}

void Spin(QDialog& dialog, int id, int delta) {
    auto* spin = FindControl<DeltaSpin>(&dialog, id);
    ASSERT_NE(spin, nullptr) << id;
    emit spin->deltaPos(delta);
}

TEST_F(ParamDialogsTest, WithoutADriveTheCommandSaysSoAndOpensNothing) {
    start();
    choose(ID_PARAM_SETTING);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please Serial Communication Channel First!");
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_EQ(drive->requestCount(), 0u);
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
    QSize loadingSize;
    whileOpen = [&](QDialog& dialog) {
        titles.push_back(dialog.windowTitle());
        if (dynamic_cast<CParamLoadingDlg*>(&dialog) != nullptr) {
            loadingSize = dialog.size();
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
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], QStringLiteral("Loading User Parameters ..."));
    EXPECT_EQ(titles[1], QStringLiteral("User parameters setting"));
    EXPECT_EQ(loadingSize, DluSize(187, 54));
    EXPECT_EQ(state.parameterTable.parametersLoaded, 1u);
    EXPECT_EQ(state.userParamTable.maximum[1], 21);
    EXPECT_TRUE(boxes.empty());

    // Again: the editor at once, without loading and without traffic.
    const uint64_t requests = drive->requestCount();
    titles.clear();
    choose(ID_PARAM_SETTING);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], QStringLiteral("User parameters setting"));
    EXPECT_EQ(drive->requestCount(), requests);
}

TEST_F(ParamDialogsTest, LoadingDialogShowsStagesAndEndsOnTheFinalReport) {
    start();
    choose(ID_COM1);
    CParamLoadingDlg dialog(*context, frame());
    dialog.onLoadProgress(ParamLoadStage::Ranges, 40);
    EXPECT_EQ(FindControl<QProgressBar>(&dialog, 1206)->value(), 40);
    EXPECT_EQ(Text(dialog, 1195), QStringLiteral("Loading user parameters' range..."));
    dialog.onLoadProgress(ParamLoadStage::Values, 90);
    EXPECT_EQ(Text(dialog, 1195), QStringLiteral("Loading user parameters' value..."));
    dialog.onLoadProgress(ParamLoadStage::Failed, 0);
    EXPECT_EQ(dialog.result(), 255);
    EXPECT_EQ(state.parameterTable.parametersLoaded, 0u);
}

TEST_F(ParamDialogsTest, ADriveThatStopsAnsweringEndsTheLoadWithAMessage) {
    start();
    connectDrive();
    drive->addFault({sim::Fault::Silence, 0xC1, 0x001A, -1, 30, -1});
    std::vector<QString> titles;
    whileOpen = [&](QDialog& dialog) { titles.push_back(dialog.windowTitle()); };
    choose(ID_PARAM_SETTING);
    EXPECT_FALSE(titles.size() == 1 && titles[0] == QStringLiteral("User parameters setting"));
    EXPECT_LE(titles.size(), 1u) << "no editor";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Communication with Servo Fails!");
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(state.parameterTable.parametersLoaded, 0u);
}

TEST_F(ParamDialogsTest, EditorTypingSpinningAndSet) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& dialog) {
        if (dialog.windowTitle() != QStringLiteral("User parameters setting")) {
            return;
        }
        EXPECT_EQ(dialog.size(), DluSize(244, 173));
        EXPECT_EQ(Text(dialog, 1199), QStringLiteral("0"));
        EXPECT_EQ(Text(dialog, 1200), QStringLiteral("913"));
        EXPECT_EQ(Text(dialog, 1223), QStringLiteral("Software Version"));
        auto* help = FindControl<QTextEdit>(&dialog, 1221);
        ASSERT_NE(help, nullptr);
        ExpectFixedPitch(help);
        ExpectFixedPitch(CParamTableDlg(*context, frame()).view().helpBox());
        ExpectFixedPitch(CParamFileDlg(*context, frame()).view().helpBox());
        EXPECT_TRUE(help->isReadOnly());
        EXPECT_EQ(help->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        Type(dialog, 1199, QStringLiteral("8"));
        EXPECT_EQ(Text(dialog, 1223),
                  QStringLiteral("Inverting enable of low part CN2 input signals"));
        EXPECT_TRUE(Text(dialog, 1221).contains(QStringLiteral("ServoEn")));
        EXPECT_FALSE(Text(dialog, 1221).contains(QLatin1Char('\r')));
        Type(dialog, 1200, QStringLiteral("000101"));
        Spin(dialog, 1202, -1);
        EXPECT_EQ(Text(dialog, 1200), QStringLiteral("000110"));
        FindControl<QPushButton>(&dialog, 1205)->click();
        EXPECT_TRUE(dialog.isVisible()) << "Set does not close the editor";

        Type(dialog, 1199, QStringLiteral("x"));
        Type(dialog, 1199, QStringLiteral("22"));
        Type(dialog, 1200, QStringLiteral("99999"));
        EXPECT_EQ(Text(dialog, 1200), QStringLiteral("300"));
    };
    choose(ID_PARAM_SETTING);
    EXPECT_EQ(drive->read(ParamWordAddress(8)), 6);
    EXPECT_EQ(state.userParamTable.value[8], 6);
    EXPECT_EQ(state.userParamTable.value[22], 120) << "typed, never set";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid input value!");
    EXPECT_NE(boxes[0].owner, frame()) << "the editor's own box";
}

TEST_F(ParamDialogsTest, TypingKeyByKeyWaitsForTheWholeEntry) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& dialog) {
        if (dialog.windowTitle() != QStringLiteral("User parameters setting")) {
            return;
        }
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* number = FindControl<QLineEdit>(&dialog, 1199);
        auto* value = FindControl<QLineEdit>(&dialog, 1200);
        const struct {
            const char* pn;
            const char* keys;
            const char* shown;
        } cases[] = {
            {"30", "200", "200"},       // Pn 30 starts at 1: an empty field was "1", "1200"
            {"36", "-100", "-100"},     // a lone "-" was 0, then "0100"
            {"8", "001100", "001100"},  // a box at each of the first five digits
        };
        for (const auto& c : cases) {
            Type(dialog, 1199, QString::fromLatin1(c.pn));
            value->setFocus();
            value->selectAll();
            QTest::keyClick(value, Qt::Key_Backspace);
            QTest::keyClicks(value, QString::fromLatin1(c.keys));
            EXPECT_EQ(value->text(), QString::fromLatin1(c.shown)) << c.pn;
        }
        EXPECT_TRUE(boxes.empty());
        FindControl<QPushButton>(&dialog, 1205)->click();

        // Leaving a waiting field reads it: an empty Pn is Pn 0, a short bit field is refused.
        number->setFocus();
        number->selectAll();
        QTest::keyClick(number, Qt::Key_Backspace);
        EXPECT_EQ(number->text(), QString());
        EXPECT_EQ(Text(dialog, 1223),
                  QStringLiteral("Inverting enable of low part CN2 input signals"));
        value->setFocus();
        EXPECT_EQ(number->text(), QStringLiteral("0"));
        Type(dialog, 1199, QStringLiteral("8"));
        value->setFocus();
        value->selectAll();
        QTest::keyClicks(value, QStringLiteral("01"));
        EXPECT_TRUE(boxes.empty());
        number->setFocus();
        EXPECT_EQ(boxTexts(), std::vector<std::string>{"Invalid input value!"});
    };
    choose(ID_PARAM_SETTING);
    EXPECT_EQ(drive->read(ParamWordAddress(8)), 12);
    EXPECT_EQ(state.parameterTable.changeLog.entries().size(), 1u) << "Set is logged";
}

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

TEST_F(ParamDialogsTest, AParamFileNameTypedWithoutSuffixGetsPar) {
    start();
    connectDrive();
    QTemporaryDir dir;
    context->setFileDialogRunner([&dir](const FileDialogRequest& request) {
        QTimer::singleShot(0, [&dir]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(dir.filePath(QStringLiteral("drive")));
            static_cast<QDialog*>(dialog)->accept();
        });
        return RunFileDialog(request);
    });
    choose(ID_PARAM_UPLOAD);
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("drive.par"))).size(), 1024);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("drive"))));
}

TEST_F(ParamDialogsTest, UploadAndDownloadThroughTheFileDialogs) {
    start();
    connectDrive();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drive.par"));

    fileAnswers.push_back(path);
    choose(ID_PARAM_UPLOAD);
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(fileRequests[0].filter, QStringLiteral("Servo Parameters File(*.par)|*.par||"));
    EXPECT_TRUE(fileRequests[0].defaultName.isEmpty());
    EXPECT_EQ(fileRequests[0].defaultExtension, QStringLiteral("par"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Uploading Parameters Succeeds!");
    EXPECT_EQ(boxes[0].title, "Note");
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(QFile(path).size(), 1024);
    EXPECT_EQ(app->lastParameterPath(), path);

    drive->write(ParamWordAddress(41), 999);
    boxes.clear();
    fileAnswers.push_back(path);
    choose(ID_PARAM_DOWNLOAD);
    EXPECT_EQ(fileRequests.back().mode, FileDialogRequest::Mode::Open);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Downloading Parameters Succeeds!");
    EXPECT_EQ(drive->read(ParamWordAddress(41)), 120);

    // A short file: refused with a message, nothing sent.
    const QString shortPath = dir.filePath(QStringLiteral("short.par"));
    QFile shortFile(shortPath);
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(512, '\0'));
    shortFile.close();
    boxes.clear();
    const uint64_t requests = drive->requestCount();
    fileAnswers.push_back(shortPath);
    choose(ID_PARAM_DOWNLOAD);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("exactly 1024 bytes"), std::string::npos);
    EXPECT_EQ(drive->requestCount(), requests);
    EXPECT_EQ(app->lastParameterPath(), shortPath);

    // Cancelled dialogs: no message.
    boxes.clear();
    choose(ID_PARAM_DOWNLOAD);
    choose(ID_PARAM_UPLOAD);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ParamDialogsTest, EepromCommandsReportToTheMainWindow) {
    start();
    choose(ID_SAVE_EEPROM);  // no port open yet
    choose(ID_COM1);
    choose(ID_SAVE_EEPROM);
    choose(ID_LOAD_DEFAULT);
    const std::vector<std::string> expected = {
        "Save to EEPROM Fails!", "Connectting with servo succeeds!", "Save to EEPROM Succeeds!",
        "Loading Default Parameters from EEPROM Succeeds!"};
    EXPECT_EQ(boxTexts(), expected);
    EXPECT_EQ(boxes[2].title, "NOTES");
    EXPECT_EQ(boxes[3].owner, frame());
}

}  // namespace
}  // namespace qx::test
