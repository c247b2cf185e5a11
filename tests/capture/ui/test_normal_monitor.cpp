// The normal operation monitor as the engineer meets it: opened from the menu in auto
// run, switched to a single trigger with a truncated wave offset, armed with "Refresh",
// and closed while the worker runs.

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "capture/ui/CNormalMonitorDlg.h"
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

TEST_F(NormalMonitorTest, AutoRunThenASingleTriggeredRecordAndQuit) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& d) {
        auto& window = dynamic_cast<CNormalMonitorDlg&>(d);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Normal operation monitor"));
        EXPECT_EQ(FindControl<QLabel>(&d, 1232)->text(),
                  QStringLiteral("Horizontal Unit: ms       Vertical Unit: A"));
        EXPECT_TRUE(FindControl<QRadioButton>(&d, 1174)->isChecked());
        EXPECT_FALSE(FindControl<QPushButton>(&d, 3)->isEnabled());
        ASSERT_TRUE(WaitForRecords(window, 1));

        FindControl<QRadioButton>(&d, 1230)->click();
        EXPECT_TRUE(FindControl<QPushButton>(&d, 3)->isEnabled());
        Type(d, 1178, QStringLiteral("0.29"));
        EXPECT_EQ(FindControl<CommitLineEdit>(&d, 1178)->text(), QStringLiteral("0.28"));
        Type(d, 1163, QStringLiteral("1.5"));
        const int before = window.recordsShown();
        window.refresh();
        ASSERT_TRUE(WaitForRecords(window, before + 1));
        EXPECT_EQ(state.freeRunRequest.triggerLevelRaw, 192);
    };
    choose(ID_RANDOM_CAPTURE);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(state.workerSync.sampleThreadEnded.load(), 1u);
}

}  // namespace
}  // namespace qx::test
