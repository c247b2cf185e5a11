// The main window's menu and accelerators as the tool has them, and the commands that
// have no handler.

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <string>
#include <vector>

#include "app/ui/CommandIds.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;

// The menu as lines: "caption|id" for a command, "-" for a separator, "caption>" for a
// submenu, nested items indented by two blanks.
void Describe(const QList<QAction*>& actions, const std::string& indent,
              std::vector<std::string>& out) {
    for (QAction* a : actions) {
        if (a->isSeparator()) {
            out.push_back(indent + "-");
        } else if (a->menu() != nullptr) {
            out.push_back(indent + a->text().toStdString() + ">");
            Describe(a->menu()->actions(), indent + "  ", out);
        } else {
            out.push_back(indent + a->text().toStdString() + "|" +
                          std::to_string(a->property("commandId").toInt()));
        }
    }
}

using MenuTest = ShellTest;

TEST_F(MenuTest, MenuBarIsTheMenuOfTheToolCaptionForCaption) {
    start();
    std::vector<std::string> lines;
    Describe(frame()->menuBar()->actions(), "", lines);
    const std::vector<std::string> expected = {
        "&File>",
        "  Load Default |32805",
        "  -",
        "  Save to EEPROM|32797",
        "  -",
        "  Parameters Setting...|32803",
        "  Parameters Upload...|32772",
        "  Parameters Download...|32793",
        "  -",
        "  E&xit|57665",
        "COM>",
        "  COM1|32798",
        "  COM2|32799",
        "  COM3|32800",
        "  COM4|32801",
        "  -",
        "  Port Settings...|32840",
        "Monitor>",
        "  Servo State...|32795",
        "  Ports State...|32796",
        "&Capture>",
        "  Setting...>",
        "    Setting Current  Capture... |32790",
        "    Setting Speed    Capture...|32791",
        "    Setting Position Capture...|32792",
        "  -",
        "  Current  Loop Adjust...|32773",
        "  Speed    Loop Adjust...|32774",
        "  Position Loop Adjust...|32775",
        "  -",
        "  Random Capture...|32782",
        "&Motor>",
        "  Basic    Information...|32784",
        "  -",
        "  Encoder  Fixing...|32802",
        "&Tools>",
        "  Parameter Table...|33100",
        "  Parameter File...|33101",
        "&Help>",
        "  &About Servo...|32804",
        "  &About Quendrix...|57664",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(MenuTest, WindowHasNoToolbarNoStatusBarAndNothingGreyedOrTicked) {
    start();
    EXPECT_TRUE(frame()->findChildren<QToolBar*>().isEmpty());
    EXPECT_EQ(frame()->findChild<QStatusBar*>(), nullptr);
    for (int id : frame()->commandIds()) {
        EXPECT_TRUE(app->action(id)->isEnabled()) << id;
        EXPECT_FALSE(app->action(id)->isCheckable()) << id;
        EXPECT_TRUE(app->action(id)->isVisible()) << id;
    }
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Quendrix"));
    EXPECT_FALSE(frame()->windowIcon().isNull());
}

// Only new, open and save are handled: the other accelerators change nothing and send
// nothing.
TEST_F(MenuTest, AcceleratorsCarryTheirKeysAndOnlyTheDocumentOnesAreHandled) {
    start();
    const auto before = snapshot();
    const std::pair<int, const char*> rows[] = {{ID_FILE_NEW, "Ctrl+N"},
                                                {ID_FILE_OPEN, "Ctrl+O"},
                                                {ID_FILE_SAVE, "Ctrl+S"},
                                                {ID_EDIT_UNDO, "Ctrl+Z Alt+Backspace"},
                                                {ID_EDIT_CUT, "Ctrl+X Shift+Del"},
                                                {ID_EDIT_COPY, "Ctrl+C Ctrl+Ins"},
                                                {ID_EDIT_PASTE, "Ctrl+V Shift+Ins"},
                                                {ID_NEXT_PANE, "F6"},
                                                {ID_PREV_PANE, "Shift+F6"},
                                                {ID_COM1, ""}};
    for (const auto& [id, keys] : rows) {
        QStringList out;
        for (const QKeySequence& k : app->action(id)->shortcuts()) {
            out << k.toString(QKeySequence::PortableText);
        }
        EXPECT_EQ(out.join(QLatin1Char(' ')).toStdString(), keys) << id;
        const bool document = id == ID_FILE_NEW || id == ID_FILE_OPEN || id == ID_FILE_SAVE;
        EXPECT_EQ(app->hasCommandHandler(id), document || id == ID_COM1) << id;
        if (!app->hasCommandHandler(id)) {
            choose(id);
        }
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(drive->requestCount(), 0u);
}

TEST_F(MenuTest, ExitClosesTheMainWindowWithoutTalkingToTheDrive) {
    start();
    choose(ID_COM1);
    const uint64_t requests = drive->requestCount();
    choose(ID_APP_EXIT);
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_EQ(drive->requestCount(), requests);
}

}  // namespace
}  // namespace qx::test
