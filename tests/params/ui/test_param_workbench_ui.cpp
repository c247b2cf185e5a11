// The Tools menu's parameter windows in the running window program, on a virtual clock
// with the simulated drive on COM1: the buttons, cells and lists that carry the core's
// filter, compare, writes, revert and EEPROM mark to the engineer.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "params/ParamCatalog.h"
#include "params/ParamFile.h"
#include "params/ParamValues.h"
#include "params/ui/CParamFileDlg.h"
#include "params/ui/CParamTableDlg.h"
#include "params/ui/ParamSheetView.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;

struct WorkbenchTest : ShellTest {
    QTemporaryDir dir;

    // The drive's image with some words changed, `size` bytes of it.
    QString file(const char* name, std::initializer_list<std::pair<int, uint16_t>> words,
                 std::size_t size = 1024) {
        ParamImage image{};
        UploadParams(context->link(), image);
        for (const auto& [pn, word] : words) {
            SetParamWordInImage(image, pn, word);
        }
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(size));
        return path;
    }
};

void Press(QDialog& dialog, const char* button) {
    dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
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

// Types into the Value cell of the only row shown, as the user does: F2 opens the
// cell's editor, the keys go in one by one, Enter ends it.
void TypeIntoValue(ParamSheetView& view, const QString& text) {
    QTableView* table = view.table();
    ASSERT_EQ(Rows(view).size(), 1u);
    table->setFocus();
    table->setCurrentIndex(table->model()->index(Rows(view)[0], 2));
    QTest::keyClick(table, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
}

TEST_F(WorkbenchTest, ParameterTableFiltersEditsComparesWritesAndReverts) {
    start();
    connectDrive();
    const QString differing = file("machine.par", {{5, 200}, {41, 120}});
    const QString shortFile = file("short.par", {}, 1023);
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

        fileAnswers.push_back(shortFile);
        Press(dialog, "compare");
        EXPECT_EQ(boxes.size(), 1u) << "the file is refused";
        EXPECT_FALSE(table->sheet().comparing());
        fileAnswers.push_back(differing);
        Press(dialog, "compare");
        view.filterEdit()->clear();
        view.differingOnlyBox()->click();
        EXPECT_EQ(Rows(view), (std::vector<int>{5, 41}));
        view.table()->selectRow(5);
        Press(dialog, "writeFileValues");
        EXPECT_EQ(Rows(view), std::vector<int>{41}) << "only the chosen row was written";
        EXPECT_EQ(drive->read(ParamWordAddress(5)), 200);
        EXPECT_EQ(drive->read(ParamWordAddress(41)), 300);

        ASSERT_EQ(table->changes()->rowCount(), 2);  // 41 to 300, 5 to 200
        EXPECT_EQ(table->changes()->item(1, 3)->text(), QStringLiteral("100"));
        table->changes()->selectRow(0);
        Press(dialog, "revert");
        EXPECT_EQ(drive->read(ParamWordAddress(41)), 120);
        EXPECT_EQ(drive->read(ParamWordAddress(5)), 200) << "not chosen";
        EXPECT_EQ(table->changes()->item(2, 5)->text(), QStringLiteral("not stored"));
    };
    choose(ID_TOOLS_PARAM_TABLE);
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Loading User Parameters ..."),
                                            QStringLiteral("Parameter Table")}));

    // After "Save to EEPROM" every write is marked as stored; the next opening needs no load.
    choose(ID_SAVE_EEPROM);
    titles.clear();
    whileOpen = [&](QDialog& dialog) {
        titles.push_back(dialog.windowTitle());
        auto* table = dynamic_cast<CParamTableDlg*>(&dialog);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->changes()->item(2, 5)->text(), QStringLiteral("stored"));
    };
    choose(ID_TOOLS_PARAM_TABLE);
    EXPECT_EQ(titles, std::vector<QString>{QStringLiteral("Parameter Table")});
}

TEST_F(WorkbenchTest, ParameterFileIsEditedAndSavedWithoutADrive) {
    start();
    connectDrive();
    const QString path = file("offline.par", {});
    choose(ID_COM2);  // nothing behind it: no drive from here on
    const uint64_t requests = drive->requestCount();
    ParamImage original{};
    ASSERT_EQ(ReadParamFile(QFile::encodeName(path).toStdString(), original), std::nullopt);

    fileAnswers.push_back(path);
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
        Press(dialog, "save");
        TypeIntoValue(window->view(), QStringLiteral("1"));  // then closed: discarded
    };
    choose(ID_TOOLS_PARAM_FILE);
    EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Parameter File - offline.par"),
                                            QStringLiteral("Parameter File")}))
        << "the window, then the question for the change made after Save";
    ParamImage saved{};
    ASSERT_EQ(ReadParamFile(QFile::encodeName(path).toStdString(), saved), std::nullopt);
    ParamImage expected = original;
    SetParamWordInImage(expected, 41, 40613);
    EXPECT_EQ(saved, expected) << "exactly one word changed";
    EXPECT_EQ(drive->requestCount(), requests);
}

}  // namespace
}  // namespace qx::test
