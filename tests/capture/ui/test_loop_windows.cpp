// The loop tuning windows and the capture setting dialogs as the engineer meets them:
// opened from the menu, with and without a drive, their edits and arrows, the plot and
// the preview, and what closing sends.

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/CaptureSettingDialog.h"
#include "capture/ui/ImageFrame.h"
#include "capture/ui/LoopTuningDialog.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using LoopWindowTest = ShellTest;

CommitLineEdit* Edit(QDialog& d, int id) {
    auto* e = FindControl<CommitLineEdit>(&d, id);
    EXPECT_NE(e, nullptr) << id;
    return e;
}

void Type(QDialog& d, int id, const QString& text) {
    CommitLineEdit* e = Edit(d, id);
    e->setText(text);
    emit e->committed();
}

void Arrow(QDialog& d, int id, int delta) {
    auto* spin = FindControl<DeltaSpin>(&d, id);
    ASSERT_NE(spin, nullptr) << id;
    emit spin->deltaPos(delta);
}

QString Text(QDialog& d, int id) {
    return Edit(d, id)->text();
}

// Lets the window's timer and the worker run until `records` step responses were drawn.
bool WaitForRecords(LoopTuningDialog& window, int records) {
    return RunEventsUntil([&] { return window.recordsShown() >= records; });
}

TEST_F(LoopWindowTest, TheCurrentWindowShowsTheDrivesGainsQuantisesEditsAndSwitchesTheServoOff) {
    start();
    connectDrive();
    drive->write(0x0212, 5120);  // Ls 5 mH, Ki 1500: not the window's defaults
    drive->write(0x0215, 1500);
    state.currentCaptureSettings.sampleCount = 128;
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<LoopTuningDialog&>(d);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Adjust the parameters in the current loop "));
        EXPECT_EQ(Text(d, 1226), QStringLiteral("5"));
        EXPECT_EQ(Text(d, 1229), QStringLiteral("1500"));
        ASSERT_TRUE(WaitForRecords(window, 1));
        EXPECT_EQ(window.dataValid(), 1);
        const QImage plot = FindControl<ImageFrame>(&d, 1089)->image();
        EXPECT_EQ(plot.size(), FindControl<ImageFrame>(&d, 1089)->clientSize());
        EXPECT_EQ(plot.pixelColor(5, 5), QColor(255, 255, 128)) << "the field";

        Type(d, 1226, QStringLiteral("1.2345"));
        EXPECT_EQ(state.currentLoopModel.lsRaw, 1264);
        EXPECT_EQ(Text(d, 1226), QStringLiteral("1.23438")) << "1.234375 as the window shows it";
        Type(d, 1229, QStringLiteral("-4"));
        EXPECT_EQ(Text(d, 1229), QStringLiteral("1"));
        EXPECT_EQ(state.currentLoopModel.word0215, 1);
        Arrow(d, 1021, -1);  // up
        EXPECT_EQ(state.currentLoopModel.word0215, 2);
        Arrow(d, 1228, -1);  // Rs up by 0.01 from the 1.19922 ohm shown: 1.20922 x 1024
        EXPECT_EQ(state.currentLoopModel.rsRaw, 1238);
        // The changed gains restart the capture, which writes them first. The record under
        // way may still arrive first; the one after it was begun with the new gains.
        const int before = window.recordsShown();
        ASSERT_TRUE(WaitForRecords(window, before + 2));
    };
    choose(ID_CURRENT_LOOP_ADJUST);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(state.workerSync.sampleThreadEnded.load(), 1u);
    const auto log = drive->requestLog();
    ASSERT_FALSE(log.empty());
    const std::vector<uint8_t> servoOff(log.back().begin() + 4, log.back().end() - 2);
    EXPECT_EQ(servoOff, (std::vector<uint8_t>{0x00, 0x11, 0x00, 0x50}));
    bool wroteNewGains = false;
    for (const auto& f : log) {
        if (f.size() > 8 && f[1] == 0xC1 && f[4] == 0x00 && f[5] == 0x15) {
            wroteNewGains = wroteNewGains || (f[10] << 8 | f[11]) == 1264;
        }
    }
    EXPECT_TRUE(wroteNewGains);
}

TEST_F(LoopWindowTest, AWindowThatCouldNotReadTheGainsSaysSoAndClosesWithOk) {
    simOptions.faults.push_back(sim::FaultRule{.fault = sim::Fault::Silence,
                                               .command = 0xC1,
                                               .subCommand = 0x0091,
                                               .address = 0x025D,
                                               .count = -1});
    start();
    connectDrive();
    bool closed = false;
    whileOpen = [&](QDialog& d) {
        EXPECT_FALSE(dynamic_cast<LoopTuningDialog&>(d).capturing());
        EXPECT_FALSE(Edit(d, 1148)->isEnabled()) << "no gains to edit";
        EXPECT_EQ(Text(d, 1148), QString()) << "no zeros pretending to be the drive's";
        EXPECT_EQ(dynamic_cast<LoopTuningDialog&>(d).scope()->stateLine()->text().toStdString(),
                  "the drive's gains could not be read: nothing is captured");
        FindControl<QPushButton>(&d, 1)->click();
        closed = !d.isVisible();
        if (!closed) {
            d.reject();
        }
    };
    choose(ID_SPEED_LOOP_ADJUST);
    EXPECT_TRUE(closed);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Communication with Servo Fails!"});
}

void Wheel(QWidget* w, QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

bool HasColour(const QImage& image, QColor colour) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
    return std::count(pixels, pixels + image.width() * image.height(), colour.rgb()) > 0;
}

TEST_F(LoopWindowTest, TheScopeZoomsPlacesCursorsKeepsAReferenceExportsAndResizes) {
    start();
    connectDrive();
    state.currentCaptureSettings.sampleCount = 128;
    QTemporaryDir dir;
    fileAnswers = {dir.filePath(QStringLiteral("step")), dir.filePath(QStringLiteral("plot.png"))};
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<LoopTuningDialog&>(d);
        CaptureScope& scope = *window.scope();
        auto* plot = FindControl<ImageFrame>(&d, 1089);
        ASSERT_TRUE(WaitForRecords(window, 1));
        EXPECT_TRUE(scope.metricsLine()->text().startsWith(QStringLiteral("rise "))) << "metrics";

        Wheel(plot, QPoint(240, 150), 120);
        EXPECT_TRUE(scope.view().timeWindow()) << "zoomed in on the time axis";
        Wheel(plot, QPoint(240, 150), 240, Qt::ShiftModifier);
        EXPECT_TRUE(scope.view().valueWindow());
        QTest::mouseDClick(plot, Qt::LeftButton, {}, QPoint(240, 150));
        EXPECT_FALSE(scope.view().zoomed()) << "a double click shows the whole record";
        QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(100, 150));
        QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 150));
        ASSERT_TRUE(scope.view().cursor(PlotCursor::A) && scope.view().cursor(PlotCursor::B));
        EXPECT_LT(*scope.view().cursor(PlotCursor::A), *scope.view().cursor(PlotCursor::B));
        EXPECT_TRUE(scope.deltaLine()->text().startsWith(QStringLiteral("\u0394t ")));

        scope.action("keepReference")->trigger();
        EXPECT_TRUE(scope.referenceLine()->text().startsWith(QStringLiteral("reference: rise ")));
        // Captures go on under the reference and the cursors.
        ASSERT_TRUE(WaitForRecords(window, window.recordsShown() + 1));
        EXPECT_TRUE(HasColour(plot->image(), QColor(150, 215, 170))) << "the reference, dimmed";
        EXPECT_TRUE(HasColour(plot->image(), QColor(215, 0, 0))) << "cursor A";

        scope.action("exportCsv")->trigger();
        scope.action("saveImage")->trigger();
        scope.action("copyImage")->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->image(), plot->image());
        EXPECT_EQ(QImage(dir.filePath(QStringLiteral("plot.png"))).size(), plot->image().size());

        const QSize before = plot->size();
        d.resize(d.size() + QSize(300, 200));
        EXPECT_EQ(plot->size(), before + QSize(300, 200));
        EXPECT_EQ(plot->image().size(), plot->clientSize()) << "drawn again at once";
    };
    choose(ID_CURRENT_LOOP_ADJUST);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(fileRequests[0].defaultExtension, QStringLiteral("csv"));
    QFile csv(dir.filePath(QStringLiteral("step")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_EQ(lines[0], QByteArray("time_ms,command_A,feedback_A"));
    EXPECT_EQ(lines.size(), 128 + 2) << "the header, 128 points, the last newline";
}

TEST_F(LoopWindowTest, TheCurrentSettingDialogShowsTheDefaultsAndItsPreview) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Setting current sample mode"));
        EXPECT_EQ(Text(d, 1037), QStringLiteral("4000"));
        EXPECT_EQ(Text(d, 1039), QStringLiteral("512"));
        EXPECT_EQ(Text(d, 1041), QStringLiteral("0.96"));
        EXPECT_EQ(Text(d, 1043), QStringLiteral("1"));
        EXPECT_EQ(Text(d, 1045), QStringLiteral("300"));
        const QImage preview = FindControl<ImageFrame>(&d, 1056)->image();
        ASSERT_FALSE(preview.isNull());
        const int m = preview.height() / 2;
        // The blue start line at L + 40 + S, S = 134; the end at 29 pixels after it.
        EXPECT_EQ(preview.pixelColor(40 + 134, m + 110), QColor(0, 0, 255));
        EXPECT_EQ(preview.pixelColor(40 + 134 + 29, m + 110), QColor(0, 0, 255));
        EXPECT_NE(preview.pixelColor(40 + 134 + 15, m + 110), QColor(0, 0, 255));

        Type(d, 1037, QStringLiteral("1500"));
        EXPECT_EQ(Text(d, 1037), QStringLiteral("2000"));
        Type(d, 1041, QStringLiteral("-0.5"));
        EXPECT_EQ(Text(d, 1041), QStringLiteral("0"));
        Arrow(d, 1044, +1);
        Arrow(d, 1044, +1);
        EXPECT_EQ(Text(d, 1043), QStringLiteral("0.98"));
        FindControl<QPushButton>(&d, 2)->click();  // Cancel
    };
    state.currentCaptureSettings.sampleRateHz = 3;
    choose(ID_SET_CURRENT_CAPTURE);
    EXPECT_EQ(state.currentCaptureSettings.sampleDivider, 1) << "cancelled";
    EXPECT_EQ(state.currentCaptureSettings.samplePosition, 0.96f);
    EXPECT_EQ(state.currentCaptureSettings.range, 1.0f);
    EXPECT_EQ(state.currentCaptureSettings.sampleRateHz, 4000) << "set on every opening";
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test

// The tuning assistant's panel.
#include "capture/ui/TunePanel.h"

namespace qx::test {
namespace {

TEST_F(LoopWindowTest, TuneStopsDiscardsAndAppliesWithoutTheEeprom) {
    start();
    connectDrive();
    int32_t applied = 0;
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<LoopTuningDialog&>(d);
        TunePanel& panel = *window.tunePanel();
        ASSERT_TRUE(WaitForRecords(window, 1));
        EXPECT_FALSE(panel.isVisible());
        const QSize plot = FindControl<ImageFrame>(&d, 1089)->size();
        window.tuneButton()->click();
        ASSERT_TRUE(panel.isVisible());
        EXPECT_EQ(FindControl<ImageFrame>(&d, 1089)->size(), plot)
            << "the panel adds, moves nothing";
        for (QPushButton* choice : {panel.discardButton(), panel.applyButton()}) {
            panel.startButton()->click();
            EXPECT_FALSE(Edit(d, 1229)->isEnabled()) << "the search's edits";
            ASSERT_TRUE(RunEventsUntil([&] {
                const Trial* best = window.assistant().search()->best();
                return best != nullptr && best->number > 1;  // better than the starting Ki
            }));
            panel.stopButton()->click();
            EXPECT_EQ(Text(d, 1229), QStringLiteral("2000")) << "the starting Ki";
            ASSERT_TRUE(choice->isEnabled());
            choice->click();
        }
        applied = window.assistant().search()->best()->gains.words[3];
        EXPECT_NE(applied, 2000);
        EXPECT_EQ(Text(d, 1229), QString::number(applied));
        EXPECT_TRUE(Edit(d, 1229)->isEnabled());
    };
    choose(ID_CURRENT_LOOP_ADJUST);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(drive->read(GainAddress(CaptureKind::Current) + 3), applied);
    for (const auto& f : drive->requestLog()) {
        EXPECT_FALSE(f.size() > 6 && f[1] == 0xC1 && f[4] == 0x00 && f[5] == 0x16) << "stored";
    }
}

}  // namespace
}  // namespace qx::test
