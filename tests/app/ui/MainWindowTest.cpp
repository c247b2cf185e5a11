// The window program: its options, the main window's menu and accelerators, "COM1" to
// "COM4" and "Port Settings...", the About boxes, the view that shows the connection, and
// the document commands. (A COM port that reaches a drive through an adapter is the
// devices script's.)

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "app/ui/AppInfo.h"
#include "app/ui/CQuendrixView.h"
#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "app/ui/GuiCommandLine.h"
#include "app/ui/RecentFileList.h"
#include "link/ComSettingsFile.h"
#include "link/ui/CPortSettingsDlg.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/support/FakeDeviceTree.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using MainWindowTest = ShellTest;

QSettings Profile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle));
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The program's own options: COM ports mapped for one run, the simulated drive, a
// document, and mistakes refused (the --sim-* options are the command-line tool's).
TEST(GuiCommandLineTest, PortsDocumentAndMistakes) {
    // Arguments, then COM1 to COM3 and the document, or "refused".
    const std::pair<const char*, const char*> rows[] = {
        {"", "|||"},
        {"--demo", "sim|||"},
        {"--com 2=/dev/ttyUSB0 --com 3=sim --sim-software 1004 drive.par",
         "|/dev/ttyUSB0|sim|drive.par"},
        {"--com 5=/dev/ttyUSB0", "refused"},
        {"--com ttyUSB0", "refused"},
        {"--sim-software 70000", "refused"},
        {"--no-such-option", "refused"},
        {"a.par b.par", "refused"},
    };
    for (const auto& [args, expected] : rows) {
        ui::GuiCommandLine line;
        QStringList list = QString::fromLatin1(args).split(' ', Qt::SkipEmptyParts);
        list.prepend(QStringLiteral("quendrix"));
        const auto& o = line.options();
        const std::string parsed = line.parse(list)
                                       ? "refused"
                                       : o.ports.device(1) + "|" + o.ports.device(2) + "|" +
                                             o.ports.device(3) + "|" + o.documentPath.toStdString();
        EXPECT_EQ(parsed, expected) << args;
        EXPECT_EQ(o.usesSimulatedDrive(), std::string(expected).find("sim") != std::string::npos);
    }
}

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

// The menu caption for caption, nothing greyed or ticked.
TEST_F(MainWindowTest, MenuAcceleratorsAndExit) {
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
    EXPECT_EQ(std::tuple(boxes.size(), dialogsOpened, snapshot() == before, drive->requestCount()),
              std::tuple(0u, 0, true, 0u));

    choose(ID_COM1);
    const uint64_t requests = drive->requestCount();
    choose(ID_APP_EXIT);
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_EQ(drive->requestCount(), requests) << "Exit says nothing to the drive";
}

QStringList ViewLines(CQuendrixApp& app) {
    return app.view()->summary().split(QLatin1Char('\n'));
}

TEST_F(MainWindowTest, PicksTheAboutBoxesAndTheViewOfTheConnection) {
    start();
    choose(ID_ABOUT_SERVO);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Quendrix can't communicate with the servo!"});
    EXPECT_TRUE(boxes[0].title == "Warning" && boxes[0].owner != frame() && boxes[0].owner)
        << "a warning of the dialog's own";
    EXPECT_EQ(dialogsOpened, 0);

    boxes.clear();
    choose(ID_COM1);
    EXPECT_EQ(ViewLines(*app),
              (QStringList{"Port: COM1 on the simulated drive", "Drive: connected",
                           "Versions: boot ROM 101, software 913, FPGA 258",
                           "Last operation: Notes: Connectting with servo succeeds!"}));
    // A dialog's failed exchange clears the flag; the view says so once the dialog closed.
    state.link.driveConnected = 0;
    QStringList texts;
    whileOpen = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.size(), DluSize(235, 55));
        for (auto* label : dialog.findChildren<QLabel*>()) {
            texts << (label->pixmap().isNull() ? label->text() : QStringLiteral("<icon>"));
        }
    };
    choose(ID_APP_ABOUT);
    EXPECT_TRUE(texts.contains("Quendrix Version 2.2.913") && texts.contains("<icon>"))
        << texts.join('|').toStdString();
    EXPECT_EQ(ViewLines(*app)[1], "Drive: not connected (the port is open)");

    choose(ID_COM4);
    ASSERT_EQ(boxTexts(),
              (std::vector<std::string>{"Connectting with servo succeeds!", "Create COM4 Fails!"}));
    EXPECT_EQ(boxes[0].title + " " + boxes[1].title, "Notes Warning");
    EXPECT_TRUE(boxes[0].owner == frame() && boxes[1].owner == frame());
    EXPECT_EQ(boxes[0].cursor, Qt::WaitCursor) << "shown while the exchange still ran";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ViewLines(*app).back(), "Last operation: Warning: Create COM4 Fails!");

    // "About Servo..." shows the drive identified last and asks it nothing.
    const uint64_t requests = drive->requestCount();
    texts.clear();
    whileOpen = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Dialog"));
        EXPECT_EQ(dialog.size(), DluSize(187, 92));
        for (int id : {1224, 1225, 1226}) {
            texts << FindControl<QLabel>(&dialog, id)->text();
        }
        FindControl<QPushButton>(&dialog, 1)->click();
        EXPECT_EQ(dialog.result(), 1);
    };
    choose(ID_ABOUT_SERVO);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("The BootROM Version is 101."),
                                  QStringLiteral("The Software Version is 913."),
                                  QStringLiteral("The FPGA Version is 258.")}));
    EXPECT_EQ(drive->requestCount(), requests);
    EXPECT_EQ(boxes.size(), 2u);
}

constexpr const char* kIdA = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kIdB = "usb-FTDI_FT232R_USB_UART_B7731QX2-if00-port0";

TEST_F(MainWindowTest, ChoicesAreStoredBesideTheRecentFilesWhereTheCommandLineToolReadsThem) {
    FakeDeviceTree tree;
    tree.addAdapter("ttyUSB0", kIdA, 1, "FTDI", "FT232R USB UART", "A50285BI");
    tree.addAdapter("ttyUSB1", kIdB, 2, "FTDI", "FT232R USB UART", "B7731QX2");
    ports = PortMap{};
    start();
    context->comMapping().setRoots(tree.roots());

    whileOpen = [&](QDialog& dialog) {
        auto& dlg = dynamic_cast<CPortSettingsDlg&>(dialog);
        EXPECT_EQ(dlg.comboFor(1)->count(), 4);
        EXPECT_EQ(dlg.comboFor(1)->itemText(2).toStdString(),
                  "FTDI FT232R USB UART (B7731QX2) - " + tree.byId(kIdB));
        dlg.comboFor(2)->setCurrentIndex(2);
        dlg.comboFor(3)->setEditText(QStringLiteral(" /dev/ttyACM7"));
        dlg.comboFor(4)->setCurrentIndex(3);
    };
    choose(ID_PORT_SETTINGS);
    const std::array<std::string, 4> stored = {"", tree.byId(kIdB), "/dev/ttyACM7", "sim"};
    const std::string profile = Profile().fileName().toStdString();
    EXPECT_EQ(ReadStoredComChoices(profile), stored);
    // COM1 follows the adapters past the one COM2 holds; a new start reads the choices.
    EXPECT_EQ(context->comMapping().pick(1).device, tree.byId(kIdA));
    app.reset();
    app = std::make_unique<CQuendrixApp>(*context);
    ASSERT_TRUE(app->initInstance());
    EXPECT_EQ(context->comMapping().stored(3), "/dev/ttyACM7");

    // A device typed wrong keeps the dialog open; Cancel leaves the choices alone.
    whileOpen = [&](QDialog& dialog) {
        dynamic_cast<CPortSettingsDlg&>(dialog).comboFor(1)->setEditText(QStringLiteral("ttyUSB0"));
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();
    };
    choose(ID_PORT_SETTINGS);
    EXPECT_EQ(boxTexts(),
              std::vector<std::string>{
                  "Please enter a device path such as /dev/ttyUSB0, or pick an entry."});
    EXPECT_EQ(ReadStoredComChoices(profile), stored);
    Profile().remove(QStringLiteral("Ports"));
}

// The document commands of the accelerators: new, open and save work on a document that
// holds nothing, and never empty a file that exists.
class DocumentCommandsTest : public ShellTest {
  protected:
    void SetUp() override { Profile().clear(); }
    void TearDown() override { Profile().clear(); }
    void press(Qt::Key key) { QTest::keyClick(frame(), key, Qt::ControlModifier); }
    QTemporaryDir dir;
};

// Ctrl+N, Ctrl+O and Ctrl+S change nothing of the settings, the connection or the shared
// records, and send nothing; Ctrl+O reads nothing of the file and only remembers it (a
// file it cannot open is reported and not remembered); Ctrl+S saves an opened file under
// its own name without emptying it, and a new document as an empty file of a name asked.
TEST_F(DocumentCommandsTest, NewOpenAndSaveChangeNothingAndNeverEmptyAFile) {
    start();
    frame()->activateWindow();  // for its accelerators
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    connectDrive();
    const QString path = dir.filePath(QStringLiteral("drive.par"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1024, '\x7f')) == 1024);
    file.close();
    const QString fresh = dir.filePath(QStringLiteral("saved"));
    fileAnswers = {dir.filePath(QStringLiteral("missing.par")), path, fresh};
    const auto before = snapshot();
    const uint64_t requests = drive->requestCount();
    press(Qt::Key_N);
    EXPECT_TRUE(fileRequests.empty());
    press(Qt::Key_O);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Failed to open document."}));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Quendrix"));
    EXPECT_TRUE(Profile().allKeys().isEmpty());
    press(Qt::Key_O);
    press(Qt::Key_S);
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(std::pair(fileRequests[1].mode, fileRequests[1].owner),
              std::pair(FileDialogRequest::Mode::Open, static_cast<QWidget*>(frame())));
    EXPECT_EQ(Read(path), QByteArray(1024, '\x7f'));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("drive.par - Quendrix"));
    EXPECT_EQ(Profile().value(QStringLiteral("Recent File List/File1")).toString(),
              QFileInfo(path).absoluteFilePath());
    press(Qt::Key_N);
    press(Qt::Key_S);
    ASSERT_EQ(fileRequests.size(), 3u);
    EXPECT_EQ(std::pair(fileRequests[2].mode, fileRequests[2].defaultName),
              std::pair(FileDialogRequest::Mode::Save, QStringLiteral("Untitled")));
    EXPECT_EQ(Read(fresh), QByteArray());
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("saved - Quendrix"));
    EXPECT_EQ(std::tuple(snapshot() == before, drive->requestCount(), boxes.size()),
              std::tuple(true, requests, 1u))
        << "one box: the refused file's";
}

TEST_F(DocumentCommandsTest, RecentFileListKeepsTheFourNewestOnceEach) {
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    RecentFileList recent(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle),
                          4);
    for (const char* name : {"a", "b", "c", "d", "e", "c"}) {
        recent.add(path(name));
    }
    recent.readList();  // as the next start reads it
    EXPECT_EQ(recent.files(), (QStringList{path("c"), path("e"), path("d"), path("b")}));
    EXPECT_EQ(Profile().allKeys().size(), 4);
}

}  // namespace
}  // namespace qx::test
