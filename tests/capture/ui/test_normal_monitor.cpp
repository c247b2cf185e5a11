// The normal operation monitor as the engineer meets it (its exchanges are the
// transcripts'): blank without a drive, armed with "Refresh", its state line, the
// trigger's mark, and a record drawn as it was captured.

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using NormalMonitorTest = ShellTest;

bool WaitForRecords(CNormalMonitorDlg& window, int records) {
    return RunEventsUntil([&] { return window.recordsShown() >= records; });
}

void Type(QDialog& d, int id, const QString& text) {
    auto* e = FindControl<CommitLineEdit>(&d, id);
    ASSERT_NE(e, nullptr) << id;
    e->setText(text);
    emit e->committed();
}

TEST_F(NormalMonitorTest, StateLineTriggerMarkAndARecordDrawnAsItWasCaptured) {
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
        ASSERT_TRUE(WaitForRecords(window, 1));
        EXPECT_TRUE(line->text().startsWith(QStringLiteral("record taken at ")));
        EXPECT_EQ(window.monitor().recordShape().triggerIndex, 128);
        // The trigger's mark stands on the time axis at point 128 of 512.
        const QImage shown = FindControl<ImageFrame>(&d, 1173)->image();
        const auto xScale = static_cast<float>((shown.width() - 41) * 0.98 / 512);
        const int x = 40 + static_cast<int>(128.0f * xScale);
        EXPECT_EQ(shown.pixelColor(x, shown.height() - 25), QColor(215, 0, 0));
        // Another count and type asked for next leave the record drawn as it was taken.
        Type(d, 1169, QStringLiteral("64"));
        FindControl<QRadioButton>(&d, 1160)->click();
        ASSERT_TRUE(RunEventsUntil([&] { return state.freeRunRequest.monitorType == 2; }));
        EXPECT_EQ(FindControl<ImageFrame>(&d, 1173)->image(), shown);
    };
    choose(ID_RANDOM_CAPTURE);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test
