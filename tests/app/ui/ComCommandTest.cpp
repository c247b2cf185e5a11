// "COM1" to "COM4" and the About boxes in the window: a pick's box belongs to the main
// window and comes while the wait cursor shows; "About Servo..." shows the versions of
// the last drive identified and asks the drive nothing, and without one says so.

#include <QLabel>
#include <QPushButton>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using ComCommandTest = ShellTest;

TEST_F(ComCommandTest, APickIsReportedByTheMainWindowAndAboutServoShowsTheLastDrive) {
    start();
    choose(ID_ABOUT_SERVO);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Quendrix can't communicate with the servo!"});
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_TRUE(boxes[0].owner != frame() && boxes[0].owner != nullptr) << "the dialog's own";
    EXPECT_EQ(dialogsOpened, 0);

    boxes.clear();
    choose(ID_COM1);
    choose(ID_COM4);
    ASSERT_EQ(boxTexts(),
              (std::vector<std::string>{"Connectting with servo succeeds!", "Create COM4 Fails!"}));
    EXPECT_EQ(boxes[0].title + " " + boxes[1].title, "Notes Warning");
    EXPECT_TRUE(boxes[0].owner == frame() && boxes[1].owner == frame());
    EXPECT_EQ(boxes[0].cursor, Qt::WaitCursor) << "shown while the exchange still ran";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(state.link.driveConnected, 0u);

    const uint64_t requests = drive->requestCount();
    QStringList texts;
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

TEST_F(ComCommandTest, AboutQuendrixShowsIconAndVersionAndClosesOnOk) {
    start();
    QStringList texts;
    whileOpen = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Quendrix"));
        EXPECT_EQ(dialog.size(), DluSize(235, 55));
        for (auto* label : dialog.findChildren<QLabel*>()) {
            texts << (label->pixmap().isNull() ? label->text() : QStringLiteral("<icon>"));
        }
        FindControl<QPushButton>(&dialog, 1)->click();
        EXPECT_EQ(dialog.result(), 1);
    };
    choose(ID_APP_ABOUT);
    EXPECT_TRUE(texts.contains("Quendrix Version 2.2.913") && texts.contains("<icon>"))
        << texts.join('|').toStdString();
}

}  // namespace
}  // namespace qx::test
