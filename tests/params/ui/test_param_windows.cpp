// The parameter windows and File commands in the running window program, on a virtual
// clock with the simulated drive on COM1: only what the windows themselves can get
// wrong (the core's rules are tested without them).

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>
#include <future>
#include <span>

#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/DialogUnits.h"
#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamValues.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamLoadingDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/ParamSheetView.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
const QString kLoading = QStringLiteral("Loading User Parameters ...");
const QString kEditor = QStringLiteral("User parameters setting");

struct ParamWindowsTest : ShellTest {
    QTemporaryDir dir;

    // The drive's image with some words changed, as a file.
    QString file(const char* name, std::initializer_list<std::pair<int, uint16_t>> words) {
        ParamImage image{};
        UploadParams(context->link(), image);
        for (const auto& [pn, word] : words) {
            SetParamWordInImage(image, pn, word);
        }
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_EQ(WriteParamFile(QFile::encodeName(path).toStdString(), image), std::nullopt);
        return path;
    }
};

// Clears an edit and types into it key by key, as the user does.
void Type(QLineEdit* edit, const QString& keys) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, keys);
}

std::vector<int> Rows(ParamSheetView& view) {
    std::vector<int> pns;
    for (int pn = 0; pn < view.table()->model()->rowCount(); ++pn) {
        if (!view.table()->isRowHidden(pn)) {
            pns.push_back(pn);
        }
    }
    return pns;
}

// Types into the Value cell of the only row shown: F2 opens the cell's editor, Enter
// ends it.
void TypeIntoValue(ParamSheetView& view, const QString& text) {
    ASSERT_EQ(Rows(view).size(), 1u);
    view.table()->setFocus();
    view.table()->setCurrentIndex(view.table()->model()->index(Rows(view)[0], 2));
    QTest::keyClick(view.table(), Qt::Key_F2);
    Type(qobject_cast<QLineEdit*>(QApplication::focusWidget()), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents();
}

void Press(QDialog& dialog, const char* button) {
    dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

TEST_F(ParamWindowsTest, LoadingCannotBeEndedEarlyAndFollowsTheDrive) {
    start();
    connectDrive();
    // Holds the worker at its tenth range pair until the test has tried to close the
    // dialog: without that, the load may be over before the dialog is first looked at.
    std::promise<void> tried;
    const std::shared_future<void> closingTried = tried.get_future().share();
    int gathers = 0;  // only the worker's thread counts
    const auto gather = drive->subCommandHandler(0x001A);
    drive->setSubCommandHandler(
        0x001A, [&, gather](sim::SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
            if (++gathers == 10) {
                closingTried.wait();
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
            tried.set_value();
        }
    };
    choose(ID_PARAM_SETTING);
    EXPECT_TRUE(stayedUp) << "the loading dialog waits for the worker's final report";
    EXPECT_EQ(titles, (std::vector<QString>{kLoading, kEditor}));

    // After "Load Default ", a download or a new connection the table is loaded afresh.
    const QString saved = file("drive.par", {});
    whileOpen = [&](QDialog& dialog) { titles.push_back(dialog.windowTitle()); };
    for (const int command : {ID_LOAD_DEFAULT, ID_PARAM_DOWNLOAD, ID_COM1}) {
        drive->write(ParamWordAddress(41), 777);  // Load Default and the file hold 120
        fileAnswers.push_back(saved);
        choose(command);
        titles.clear();
        choose(ID_PARAM_SETTING);
        EXPECT_EQ(titles, (std::vector<QString>{kLoading, kEditor})) << command;
        EXPECT_EQ(state.userParamTable.value[41], drive->read(ParamWordAddress(41))) << command;
    }

    CParamLoadingDlg dialog(*context, frame());
    dialog.onLoadProgress(ParamLoadStage::Failed, 0);
    EXPECT_EQ(dialog.result(), 255) << "a failed load ends the dialog";
}

// The drive's values in; a help box whose characters all have one width (a font may be
// fixed-pitch without saying so; the workbench's boxes are set up alike); the spins and
// "Set" wired; typed key by key, a text that cannot be complete yet waits, and leaving the
// field for another control reads it.
TEST_F(ParamWindowsTest, TheEditorsControlsAndTyping) {
    start();
    connectDrive();
    drive->write(ParamWordAddress(8), 5);
    whileOpen = [&](QDialog& dialog) {
        if (dialog.windowTitle() != kEditor) {
            return;
        }
        EXPECT_EQ(dialog.size(), DluSize(244, 173));
        EXPECT_EQ(FindControl<QLineEdit>(&dialog, 1200)->text(), QStringLiteral("913"));
        auto* help = FindControl<QTextEdit>(&dialog, 1221);
        const QFontMetrics metrics(help->font());
        for (const QChar c : QStringLiteral("iW|- 0m")) {
            EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QChar(u'x')));
        }
        EXPECT_TRUE(help->isReadOnly());
        emit FindControl<DeltaSpin>(&dialog, 1201)->deltaPos(-8);  // eight up: Pn 8
        EXPECT_EQ(FindControl<QLabel>(&dialog, 1223)->text(),
                  QStringLiteral("Inverting enable of low part CN2 input signals"));
        EXPECT_FALSE(help->toPlainText().contains(QLatin1Char('\r')));
        EXPECT_EQ(FindControl<QLineEdit>(&dialog, 1200)->text(), QStringLiteral("000101"));
        emit FindControl<DeltaSpin>(&dialog, 1202)->deltaPos(-1);
        FindControl<QPushButton>(&dialog, 1205)->click();
        EXPECT_EQ(drive->read(ParamWordAddress(8)), 6);

        Activate(dialog);
        auto* number = FindControl<QLineEdit>(&dialog, 1199);
        auto* value = FindControl<QLineEdit>(&dialog, 1200);
        // Pn 30 starts at 1: an empty field was "1", then "1200"; a lone "-" was 0, then
        // "0100"; a short bit field gave a box at each of its first five digits.
        for (const auto& [pn, keys] : {std::pair{"30", "200"}, {"36", "-100"}, {"8", "001100"}}) {
            Type(number, QString::fromLatin1(pn));
            Type(value, QString::fromLatin1(keys));
            EXPECT_EQ(value->text(), QString::fromLatin1(keys)) << pn;
        }
        FindControl<QPushButton>(&dialog, 1205)->click();
        Type(number, QString());
        EXPECT_EQ(FindControl<QLabel>(&dialog, 1223)->text(),
                  QStringLiteral("Inverting enable of low part CN2 input signals"));
        value->setFocus();
        EXPECT_EQ(number->text(), QStringLiteral("0")) << "an empty Pn left is Pn 0";
        Type(number, QStringLiteral("8"));
        Type(value, QStringLiteral("01"));
        EXPECT_TRUE(boxes.empty());
        number->setFocus();
        EXPECT_EQ(boxTexts(), std::vector<std::string>{"Invalid input value!"});
        EXPECT_TRUE(dialog.isVisible()) << "Set does not close the editor";
    };
    choose(ID_PARAM_SETTING);
    EXPECT_EQ(drive->read(ParamWordAddress(8)), 12);
    EXPECT_EQ(state.parameterTable.changeLog.entries().size(), 2u) << "Set is logged";
}

// The file dialog's filter, the path remembered, ".par" added by the real dialog to a
// name typed without it.
TEST_F(ParamWindowsTest, FileDialogsAndTheParSuffix) {
    start();
    connectDrive();
    const QString path = dir.filePath(QStringLiteral("drive.par"));
    fileAnswers.push_back(path);
    choose(ID_PARAM_UPLOAD);
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].filter, QStringLiteral("Servo Parameters File(*.par)|*.par||"));
    EXPECT_EQ(app->lastParameterPath(), path);

    context->setFileDialogRunner([this](const FileDialogRequest& request) {
        QTimer::singleShot(0, [this]() {
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

TEST_F(ParamWindowsTest, ParameterTableFiltersEditsComparesWritesAndReverts) {
    start();
    connectDrive();
    const QString differing = file("machine.par", {{5, 200}, {41, 120}});
    std::vector<QString> titles;
    whileOpen = [&](QDialog& dialog) {
        titles.push_back(dialog.windowTitle());
        auto* table = dynamic_cast<CParamTableDlg*>(&dialog);
        if (table == nullptr) {
            return;
        }
        Activate(dialog);
        ParamSheetView& view = table->view();
        QTest::keyClicks(view.filterEdit(), QStringLiteral("quadrature"));
        EXPECT_EQ(Rows(view), std::vector<int>{52});
        EXPECT_TRUE(view.helpBox()->toPlainText().startsWith(QStringLiteral("(1) Form of")));
        view.filterEdit()->setText(QStringLiteral("41"));
        TypeIntoValue(view, QStringLiteral("300"));
        EXPECT_EQ(drive->read(ParamWordAddress(41)), 300);

        fileAnswers.push_back(differing);
        Press(dialog, "compare");
        view.filterEdit()->clear();
        view.differingOnlyBox()->click();
        EXPECT_EQ(Rows(view), (std::vector<int>{5, 41}));
        view.table()->selectRow(5);
        Press(dialog, "writeFileValues");
        EXPECT_EQ(Rows(view), std::vector<int>{41}) << "only the chosen row was written";
        EXPECT_EQ(drive->read(ParamWordAddress(5)), 200);

        ASSERT_EQ(table->changes()->rowCount(), 2);  // 41 to 300, 5 to 200
        EXPECT_EQ(table->changes()->item(1, 3)->text(), QStringLiteral("100"));
        table->changes()->selectRow(0);
        Press(dialog, "revert");
        EXPECT_EQ(drive->read(ParamWordAddress(41)), 120);
        EXPECT_EQ(drive->read(ParamWordAddress(5)), 200) << "not chosen";
        EXPECT_EQ(table->changes()->item(2, 5)->text(), QStringLiteral("not stored"));
    };
    choose(ID_TOOLS_PARAM_TABLE);
    EXPECT_EQ(titles, (std::vector<QString>{kLoading, QStringLiteral("Parameter Table")}));

    // After "Save to EEPROM" every write is marked as stored; the next opening needs no load.
    choose(ID_SAVE_EEPROM);
    whileOpen = [&](QDialog& dialog) {
        auto* table = dynamic_cast<CParamTableDlg*>(&dialog);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->changes()->item(2, 5)->text(), QStringLiteral("stored"));
    };
    choose(ID_TOOLS_PARAM_TABLE);
}

// Without a drive: a changed file is marked "*" in the title and closing asks whether to
// discard the change (what is typed and saved is the file document's and `params edit`'s).
TEST_F(ParamWindowsTest, ParameterFileIsEditedWithoutADrive) {
    start();
    connectDrive();
    fileAnswers.push_back(file("offline.par", {}));
    choose(ID_COM2);  // nothing behind it: no drive from here on
    const uint64_t requests = drive->requestCount();
    std::vector<QString> titles;
    whileOpen = [&](QDialog& dialog) {
        titles.push_back(dialog.windowTitle());
        if (auto* box = dynamic_cast<QMessageBox*>(&dialog)) {
            box->button(QMessageBox::Discard)->click();
            return;
        }
        auto* window = dynamic_cast<CParamFileDlg*>(&dialog);
        ASSERT_NE(window, nullptr);
        Activate(dialog);
        window->view().filterEdit()->setText(QStringLiteral("41"));
        TypeIntoValue(window->view(), QStringLiteral("40613"));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Parameter File - offline.par *"));
    };
    choose(ID_TOOLS_PARAM_FILE);
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Parameter File - offline.par"),
                                            QStringLiteral("Parameter File")}));
    EXPECT_EQ(drive->requestCount(), requests);
}

}  // namespace
}  // namespace qx::test
