// A refused entry in the capture windows, typed key by key and left with Tab or a click:
// one prompt, and the click that left the field still does what it does.

#include <QPushButton>
#include <QTest>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using RefusedEntryTest = ShellTest;

TEST_F(RefusedEntryTest, OneBadEntryShowsOneBoxWhateverLeavesIt) {
    const struct {
        int command;
        int edit;
        const char* typed;
        const char* prompt;
    } entries[] = {
        {ID_SET_POSITION_CAPTURE, 1082, "600", "Please enter an integer between 1 and 512."},
        {ID_SET_CURRENT_CAPTURE, 1039, "2000", "Please enter an integer between 1 and 1024."},
        {ID_SPEED_LOOP_ADJUST, 1094, "5000", "Please enter an integer between 1 and 1000."},
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
