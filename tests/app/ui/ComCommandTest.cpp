// "COM1" to "COM4", the About boxes and the view that shows the connection: a pick's box
// belongs to the main window and comes while the wait cursor shows; "About Servo..."
// shows the versions of the last drive identified and asks the drive nothing, and
// without one says so.

#include <QLabel>
#include <QPushButton>

#include "app/ui/CQuendrixView.h"
#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using ComCommandTest = ShellTest;

QStringList ViewLines(CQuendrixApp& app) {
    return app.view()->summary().split(QLatin1Char('\n'));
}

TEST_F(ComCommandTest, PicksTheAboutBoxesAndTheViewOfTheConnection) {
    start();
    choose(ID_ABOUT_SERVO);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Quendrix can't communicate with the servo!"});
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_TRUE(boxes[0].owner != frame() && boxes[0].owner != nullptr) << "the dialog's own";
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_EQ(ViewLines(*app).front(), "Port: none picked yet (COM menu)");

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
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Quendrix"));
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
            EXPECT_TRUE(FindControl<QLabel>(&dialog, id)->alignment().testFlag(Qt::AlignHCenter));
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

}  // namespace
}  // namespace qx::test
