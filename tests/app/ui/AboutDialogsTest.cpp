// "About Servo..." and "About Quendrix".

#include <QLabel>
#include <QPushButton>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using AboutDialogsTest = ShellTest;

TEST_F(AboutDialogsTest, AboutServoWithoutADriveSaysSoAndIsNeverSeen) {
    start();
    choose(ID_ABOUT_SERVO);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Quendrix can't communicate with the servo!");
    EXPECT_EQ(boxes[0].title, "Warning");
    // The box belongs to the dialog, not to the main window.
    EXPECT_NE(boxes[0].owner, frame());
    EXPECT_NE(boxes[0].owner, nullptr);
    EXPECT_EQ(dialogsOpened, 0);
    EXPECT_EQ(drive->requestCount(), 0u);
}

TEST_F(AboutDialogsTest, AboutServoShowsTheVersionsOfTheLastIdentification) {
    start();
    connectDrive();
    const uint64_t requests = drive->requestCount();

    QStringList texts;
    QString title;
    QSize size;
    whileOpen = [&](QDialog& dialog) {
        title = dialog.windowTitle();
        size = dialog.size();
        for (int id : {1224, 1225, 1226}) {
            auto* label = FindControl<QLabel>(&dialog, id);
            ASSERT_NE(label, nullptr) << id;
            EXPECT_TRUE(label->alignment().testFlag(Qt::AlignHCenter)) << id;
            texts << label->text();
        }
        auto* ok = FindControl<QPushButton>(&dialog, 1);
        ASSERT_NE(ok, nullptr);
        ok->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 1);
    };
    choose(ID_ABOUT_SERVO);

    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("The BootROM Version is 101."),
                                  QStringLiteral("The Software Version is 913."),
                                  QStringLiteral("The FPGA Version is 258.")}));
    EXPECT_EQ(title, QStringLiteral("Dialog"));
    EXPECT_EQ(size, DluSize(187, 92));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(drive->requestCount(), requests);  // it shows what is stored, asks nothing
}

TEST_F(AboutDialogsTest, AboutQuendrixShowsIconAndVersionAndClosesOnOk) {
    start();
    QString title;
    QString version;
    bool hasIcon = false;
    QSize size;
    int result = -1;
    whileOpen = [&](QDialog& dialog) {
        title = dialog.windowTitle();
        size = dialog.size();
        for (auto* label : dialog.findChildren<QLabel*>()) {
            if (label->text().startsWith(QStringLiteral("Quendrix Version"))) {
                version = label->text();
            }
            hasIcon = hasIcon || !label->pixmap().isNull();
        }
        FindControl<QPushButton>(&dialog, 1)->click();
        result = dialog.result();
    };
    choose(ID_APP_ABOUT);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_EQ(title, QStringLiteral("About Quendrix"));
    EXPECT_EQ(version, QStringLiteral("Quendrix Version 2.2.913"));
    EXPECT_TRUE(hasIcon);
    EXPECT_EQ(size, DluSize(235, 55));
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test
