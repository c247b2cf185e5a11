// The capture windows as the engineer meets them (their exchanges are the transcripts'):
// the tuning assistant's panel (Stop, Discard and Apply, nothing stored in the EEPROM), the
// scope growing with its window and exporting, the normal operation monitor (blank without
// a drive, armed with "Refresh", its state line, the trigger's mark, a record drawn as it
// was captured), and a refused entry typed key by key and left with Tab or a click: one
// prompt, and the click that left the field still does what it does.

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"
#include "capture/ui/LoopTuningDialog.h"
#include "capture/ui/TunePanel.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using CaptureWindowTest = ShellTest;

QString Ki(QDialog& d) {
    return FindControl<CommitLineEdit>(&d, 1229)->text();
}

TEST_F(CaptureWindowTest, TuneStopsDiscardsAndAppliesWithoutTheEeprom) {
    start();
    connectDrive();
    drive->write(GainAddress(CaptureKind::Current) + 3, 1500);  // not the window's 2000
    int32_t applied = 0;
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<LoopTuningDialog&>(d);
        TunePanel& panel = *window.tunePanel();
        ASSERT_TRUE(RunEventsUntil([&] { return window.recordsShown() >= 1; }));
        EXPECT_FALSE(panel.isVisible());
        const QSize plot = FindControl<ImageFrame>(&d, 1089)->size();
        window.tuneButton()->click();
        ASSERT_TRUE(panel.isVisible());
        EXPECT_EQ(FindControl<ImageFrame>(&d, 1089)->size(), plot)
            << "the panel adds, moves nothing";
        for (QPushButton* choice : {panel.discardButton(), panel.applyButton()}) {
            panel.startButton()->click();
            EXPECT_FALSE(FindControl<CommitLineEdit>(&d, 1229)->isEnabled())
                << "the search's edits";
            ASSERT_TRUE(RunEventsUntil([&] {
                const Trial* best = window.assistant().search()->best();
                return best != nullptr && best->number > 1;  // better than the starting Ki
            }));
            panel.stopButton()->click();
            EXPECT_EQ(Ki(d), QStringLiteral("1500")) << "the starting Ki, read";
            ASSERT_TRUE(choice->isEnabled());
            choice->click();
        }
        applied = window.assistant().search()->best()->gains.words[3];
        EXPECT_NE(applied, 1500);
        EXPECT_EQ(Ki(d), QString::number(applied));
        EXPECT_TRUE(FindControl<CommitLineEdit>(&d, 1229)->isEnabled());
    };
    choose(ID_CURRENT_LOOP_ADJUST);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(drive->read(GainAddress(CaptureKind::Current) + 3), applied);
    for (const auto& f : drive->requestLog()) {
        EXPECT_FALSE(f.size() > 6 && f[1] == 0xC1 && f[4] == 0x00 && f[5] == 0x16) << "stored";
    }
}

// The scope of a tuning window with a record: the plot takes the room the window gains,
// and the context menu writes the record as CSV and the picture as PNG.
TEST_F(CaptureWindowTest, TheScopeGrowsWithTheWindowAndExportsItsRecordAndPicture) {
    start();
    connectDrive();
    state.currentCaptureSettings.sampleCount = 128;
    QTemporaryDir dir;
    fileAnswers = {dir.filePath(QStringLiteral("step.csv")), dir.filePath(QStringLiteral("p.png"))};
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<LoopTuningDialog&>(d);
        ASSERT_TRUE(RunEventsUntil([&] { return window.recordsShown() >= 1; }));
        auto* plot = FindControl<ImageFrame>(&d, 1089);
        const QSize before = plot->size();
        d.resize(d.size() + QSize(300, 200));
        EXPECT_EQ(plot->size(), before + QSize(300, 200));
        window.scope()->action("exportCsv")->trigger();
        window.scope()->action("saveImage")->trigger();
    };
    choose(ID_CURRENT_LOOP_ADJUST);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(fileRequests[0].defaultExtension, QStringLiteral("csv"));
    QFile csv(dir.filePath(QStringLiteral("step.csv")));
    QFile png(dir.filePath(QStringLiteral("p.png")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly) && png.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 128 + 2) << "the header, 128 points at 4000 Hz, the last newline";
    EXPECT_EQ(lines[0], QByteArray("time_ms,command_A,feedback_A"));
    EXPECT_TRUE(lines[1].startsWith("0,") && lines[128].startsWith("31.75,"));
    EXPECT_EQ(png.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
}

void Type(QDialog& d, int id, const QString& text) {
    auto* e = FindControl<CommitLineEdit>(&d, id);
    ASSERT_NE(e, nullptr) << id;
    e->setText(text);
    emit e->committed();
}

TEST_F(CaptureWindowTest, StateLineTriggerMarkAndARecordDrawnAsItWasCaptured) {
    start();
    whileOpen = [&](QDialog& d) {
        EXPECT_TRUE(FindControl<ImageFrame>(&d, 1173)->image().isNull()) << "no drive: blank";
    };
    choose(ID_RANDOM_CAPTURE);
    connectDrive();
    state.freeRunSettings.monitorType = static_cast<int32_t>(CaptureKind::Speed);
    state.freeRunSettings.triggerType = {0, 0, 0};
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<CNormalMonitorDlg&>(d);
        QLabel* line = window.scope()->stateLine();
        EXPECT_EQ(line->text(), QStringLiteral("idle"));
        Type(d, 1163, QStringLiteral("5999"));  // the drive never runs that fast
        window.refresh();
        EXPECT_TRUE(RunEventsUntil([&] {
            return line->text() == QStringLiteral("armed: waiting for a rising edge at 5999 rpm");
        })) << line->text().toStdString();
        Type(d, 1163, QStringLiteral("500"));
        Type(d, 1178, QStringLiteral("0.25"));
        window.refresh();
        ASSERT_TRUE(RunEventsUntil([&] { return window.recordsShown() >= 1; }));
        EXPECT_TRUE(line->text().startsWith(QStringLiteral("record taken at ")));
        EXPECT_EQ(window.monitor().recordShape().triggerIndex, 128);
        // The trigger's mark stands on the time axis at point 128 of 512: 98 % of the 475
        // pixels from x = 40 of a 516 pixels wide plot put it at x = 156.
        const QImage shown = FindControl<ImageFrame>(&d, 1173)->image();
        EXPECT_EQ(shown.pixelColor(156, shown.height() - 25), QColor(215, 0, 0));
        // Another count and type asked for next leave the record drawn as it was taken.
        Type(d, 1169, QStringLiteral("64"));
        FindControl<QRadioButton>(&d, 1160)->click();
        ASSERT_TRUE(RunEventsUntil([&] { return state.freeRunRequest.monitorType == 2; }));
        EXPECT_EQ(FindControl<ImageFrame>(&d, 1173)->image(), shown);
    };
    choose(ID_RANDOM_CAPTURE);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CaptureWindowTest, OneBadEntryShowsOneBoxWhateverLeavesIt) {
    const struct {
        int command;
        int edit;
        const char* typed;
        const char* prompt;
    } entries[] = {
        {ID_SET_POSITION_CAPTURE, 1082, "600", "Please enter an integer between 1 and 512."},
        {ID_POSITION_LOOP_ADJUST, 1092, "0", "Please enter an integer between 1 and 1000."},
    };
    start();
    connectDrive();
    for (const auto& e : entries) {
        for (const bool byClickOnOk : {false, true}) {
            SCOPED_TRACE(testing::Message() << e.command << (byClickOnOk ? " OK" : " Tab"));
            boxes.clear();
            whileOpen = [&](QDialog& d) {
                Activate(d);
                auto* edit = FindControl<CommitLineEdit>(&d, e.edit);
                Click(edit);
                edit->selectAll();
                QTest::keyClicks(edit, QString::fromLatin1(e.typed));
                if (byClickOnOk) {
                    Click(FindControl<QPushButton>(&d, 1));
                } else {
                    QTest::keyClick(edit, Qt::Key_Tab);
                }
                RunEventsUntil([&] { return !boxes.empty(); });
                EXPECT_TRUE(edit->hasFocus() || !d.isVisible()) << "back to the refused field";
                if (d.isVisible()) {
                    d.reject();
                }
            };
            choose(e.command);
            EXPECT_EQ(boxTexts(), std::vector<std::string>{e.prompt});
        }
    }
}

}  // namespace
}  // namespace qx::test
