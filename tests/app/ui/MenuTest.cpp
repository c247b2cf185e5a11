// The main window's menu and accelerators as the tool has them, and the commands that
// have no handler.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <string>

#include "app/ui/CommandIds.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;

// The menu as text: "caption|id" for a command, "-" for a separator, "caption[...]" for a
// menu and its items; " !" marks an item greyed, ticked or hidden.
std::string Describe(const QList<QAction*>& actions) {
    std::string out;
    for (QAction* a : actions) {
        out += out.empty() ? "" : ", ";
        if (a->isSeparator()) {
            out += "-";
        } else if (a->menu() != nullptr) {
            out += a->text().toStdString() + "[" + Describe(a->menu()->actions()) + "]";
        } else {
            out += a->text().toStdString() + "|" +
                   std::to_string(a->property("commandId").toInt()) +
                   (a->isEnabled() && !a->isCheckable() && a->isVisible() ? "" : " !");
        }
    }
    return out;
}

using MenuTest = ShellTest;

// The menu caption for caption, nothing greyed or ticked; no toolbar, no status bar.
TEST_F(MenuTest, MenuAcceleratorsAndExit) {
    start();
    EXPECT_EQ(Describe(frame()->menuBar()->actions()),
              "&File[Load Default |32805, -, Save to EEPROM|32797, -, Parameters Setting...|32803, "
              "Parameters Upload...|32772, Parameters Download...|32793, -, E&xit|57665], "
              "COM[COM1|32798, COM2|32799, COM3|32800, COM4|32801, -, Port Settings...|32840], "
              "Monitor[Servo State...|32795, Ports State...|32796], "
              "&Capture[Setting...[Setting Current  Capture... |32790, "
              "Setting Speed    Capture...|32791, Setting Position Capture...|32792], -, "
              "Current  Loop Adjust...|32773, Speed    Loop Adjust...|32774, "
              "Position Loop Adjust...|32775, -, Random Capture...|32782], "
              "&Motor[Basic    Information...|32784, -, Encoder  Fixing...|32802], "
              "&Tools[Parameter Table...|33100, Parameter File...|33101], "
              "&Help[&About Servo...|32804, &About Quendrix...|57664]");
    EXPECT_TRUE(frame()->findChildren<QToolBar*>().isEmpty());
    EXPECT_EQ(frame()->findChild<QStatusBar*>(), nullptr);
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Quendrix"));
    EXPECT_FALSE(frame()->windowIcon().isNull());

    // The accelerators carry their keys (no menu item shows one); only new, open and save
    // are handled: the others change nothing and send nothing.
    const auto before = snapshot();
    std::string keys;
    for (const int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_EDIT_UNDO, ID_EDIT_CUT,
                         ID_EDIT_COPY, ID_EDIT_PASTE, ID_NEXT_PANE, ID_PREV_PANE, ID_COM1}) {
        for (const QKeySequence& k : app->action(id)->shortcuts()) {
            keys += k.toString(QKeySequence::PortableText).toStdString() + " ";
        }
        keys += "| ";
        if (id != ID_FILE_NEW && id != ID_FILE_OPEN && id != ID_FILE_SAVE && id != ID_COM1) {
            EXPECT_FALSE(app->hasCommandHandler(id)) << id;
            choose(id);
        }
    }
    EXPECT_EQ(keys,
              "Ctrl+N | Ctrl+O | Ctrl+S | Ctrl+Z Alt+Backspace | Ctrl+X Shift+Del | "
              "Ctrl+C Ctrl+Ins | Ctrl+V Shift+Ins | F6 | Shift+F6 | | ");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(drive->requestCount(), 0u);

    choose(ID_COM1);
    const uint64_t requests = drive->requestCount();
    choose(ID_APP_EXIT);
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_EQ(drive->requestCount(), requests) << "Exit says nothing to the drive";
}

}  // namespace
}  // namespace qx::test
