// The tuning assistant's panel in a tuning window: Stop, Discard and Apply, and nothing
// stored in the EEPROM.

#include <QAction>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"
#include "capture/ui/LoopTuningDialog.h"
#include "capture/ui/TunePanel.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using LoopWindowTest = ShellTest;

QString Ki(QDialog& d) {
    return FindControl<CommitLineEdit>(&d, 1229)->text();
}

TEST_F(LoopWindowTest, TuneStopsDiscardsAndAppliesWithoutTheEeprom) {
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
TEST_F(LoopWindowTest, TheScopeGrowsWithTheWindowAndExportsItsRecordAndPicture) {
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

}  // namespace
}  // namespace qx::test
