// "Servo State..." and "Ports State...": what the boxes and lamps show, the version gate
// of the DC bus box, the monitor thread started with a connected drive and stopped by
// closing, and the lamps' colours.

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "monitor/StatusPoll.h"
#include "monitor/StatusWords.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using MonitorDialogsTest = ShellTest;

QString BoxText(QWidget* dialog, int id) {
    auto* edit = FindControl<QLineEdit>(dialog, id);
    return edit != nullptr ? edit->text() : QStringLiteral("<missing %1>").arg(id);
}

// Waits in real time for the monitor thread's work; false if it never came.
template <typename Pred>
bool Eventually(Pred pred) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

QColor CentreColour(const QLabel* lamp) {
    const QImage image = lamp->pixmap().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST_F(MonitorDialogsTest, ServoStateShowsTheRecordInTheDialogsUnits) {
    start();
    CServoStateDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    EXPECT_FALSE(dialog.monitor().started()) << "no drive, no thread";
    EXPECT_EQ(BoxText(&dialog, 1196), QStringLiteral("0"));
    EXPECT_EQ(BoxText(&dialog, 1210), QStringLiteral("0"));

    StatusWords w;
    w.torqueRaw = 0xFF80;
    w.speedRaw = 0xFFFD;
    w.positionFeedback = 990;
    w.alarmWord = 0x0107;
    w.torqueCommandRaw = 0x00C0;
    w.speedCommandRaw = 0x000A;
    w.positionCommand = 1000;
    w.dcBusVolts = 311;
    StoreStatusWords(state.driveStatus, w);

    dialog.refresh();
    EXPECT_EQ(BoxText(&dialog, 1196), QStringLiteral("0")) << "not connected: boxes stay";

    state.link.driveConnected = 1;
    dialog.refresh();
    EXPECT_EQ(BoxText(&dialog, 1196), QStringLiteral("-1"));
    EXPECT_EQ(BoxText(&dialog, 1197), QStringLiteral("0"));
    EXPECT_EQ(BoxText(&dialog, 1201), QStringLiteral("990"));
    EXPECT_EQ(BoxText(&dialog, 1208), QStringLiteral("10"));
    EXPECT_EQ(BoxText(&dialog, 1198), QStringLiteral("1.5"));
    EXPECT_EQ(BoxText(&dialog, 1199), QStringLiteral("2"));
    EXPECT_EQ(BoxText(&dialog, 1204), QStringLiteral("1000"));
    EXPECT_EQ(BoxText(&dialog, 1209), QStringLiteral("2"));
    EXPECT_EQ(BoxText(&dialog, 1210), QStringLiteral("7"));
    EXPECT_EQ(BoxText(&dialog, 1211), QStringLiteral("311"));
}

TEST_F(MonitorDialogsTest, TheDcBusBoxNeedsSoftwareVersion1001) {
    start();
    for (uint32_t version : {913u, 1003u}) {
        SCOPED_TRACE(version);
        state.identity.softwareVersion = version;
        CServoStateDlg dialog(*context, frame());
        dialog.prepare();
        const bool shown = version >= 1001;
        EXPECT_EQ(!FindControl<QLabel>(&dialog, 1237)->isHidden(), shown);
        EXPECT_EQ(!FindControl<QLineEdit>(&dialog, 1211)->isHidden(), shown);
        EXPECT_FALSE(FindControl<QLineEdit>(&dialog, 1196)->isHidden());
    }
}

TEST_F(MonitorDialogsTest, ServoStateTemplate) {
    start();
    CServoStateDlg dialog(*context, frame());
    dialog.ensurePolished();  // laid out in its font's units
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Servo State Monitor"));
    EXPECT_EQ(dialog.property("templateId").toInt(), 139);
    EXPECT_EQ(dialog.size(), DluSize(329, 190));
    for (int id : {1196, 1197, 1201, 1208, 1198, 1199, 1204, 1209, 1210, 1211}) {
        auto* edit = FindControl<QLineEdit>(&dialog, id);
        ASSERT_NE(edit, nullptr) << id;
        EXPECT_TRUE(edit->isReadOnly()) << id;
    }
    EXPECT_EQ(FindControl<QLabel>(&dialog, 1237)->text(),
              QStringLiteral("Mother Line DC Vlot (V)"));
    auto* quit = FindControl<QPushButton>(&dialog, 2);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("Quit"));
    EXPECT_TRUE(quit->isDefault());
}

TEST_F(MonitorDialogsTest, ServoStateMonitorsWhileOpenAndStopsOnQuit) {
    start();
    connectDrive();
    QString title;
    QString speed;
    bool threadRan = false;
    whileOpen = [&](QDialog& d) {
        auto& dialog = dynamic_cast<CServoStateDlg&>(d);
        title = dialog.windowTitle();
        threadRan = dialog.monitor().started() && state.driveStatus.monitorRun == 1 &&
                    state.driveStatus.monitorFinished == 0;
        ASSERT_TRUE(Eventually([&] { return dialog.monitor().pollCount() >= 2; }));
        FindControl<QPushButton>(&dialog, 2)->click();
        EXPECT_FALSE(dialog.monitor().started());
        // The record holds still now; a refresh shows it.
        dialog.refresh();
        speed = BoxText(&dialog, 1197);
    };
    choose(ID_SERVO_STATE);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_EQ(title, QStringLiteral("Servo State Monitor"));
    EXPECT_TRUE(threadRan);
    EXPECT_EQ(speed, QString::number(SpeedRpm(state.driveStatus.speedRaw)))
        << "the record as the thread left it";
    EXPECT_EQ(state.driveStatus.monitorRun, 0u);
    EXPECT_EQ(state.driveStatus.monitorFinished, 1u);
    EXPECT_EQ(state.link.driveConnected, 1u);
    EXPECT_TRUE(boxes.empty());

    // The thread is gone: the drive hears nothing more.
    const uint64_t requests = drive->requestCount();
    clock.advanceUs(5'000'000);
    EXPECT_EQ(drive->requestCount(), requests);
}

TEST_F(MonitorDialogsTest, ClosingWhileAPollIsUnderWayWaitsForItOnly) {
    start();
    choose(ID_COM1);
    drive->addFault({sim::Fault::Silence, 0xC2, -1, -1, 0, -1});
    uint64_t tookUs = 0;
    whileOpen = [&](QDialog& d) {
        auto& dialog = dynamic_cast<CServoStateDlg&>(d);
        const uint64_t polls = drive->requestCount();
        ASSERT_TRUE(Eventually([&] { return drive->requestCount() > polls + 2; }));
        const uint64_t before = clock.nowUs();
        dialog.reject();
        tookUs = clock.nowUs() - before;
    };
    choose(ID_SERVO_STATE);
    EXPECT_LE(tookUs / 1000, kStatusPollWorstMs);
    EXPECT_EQ(state.driveStatus.monitorFinished, 1u);
    EXPECT_EQ(state.link.driveConnected, 0u) << "the poll under way failed";
}

TEST_F(MonitorDialogsTest, PortsStateTemplate) {
    start();
    CPortsStateDlg dialog(*context, frame());
    dialog.ensurePolished();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Ports State Monitor"));
    EXPECT_EQ(dialog.property("templateId").toInt(), 141);
    EXPECT_EQ(dialog.size(), DluSize(339, 276));
    QStringList groups;
    for (auto* group : dialog.findChildren<QGroupBox*>()) {
        groups << group->title();
        EXPECT_EQ(group->size(), DluSize(95, 215));
    }
    groups.sort();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("CN1 Input"), QStringLiteral("CN2 Port Input "),
                                   QStringLiteral("CN2 Port Output ")}));
    EXPECT_EQ(dialog.lamp(0)->geometry(), DluRect(88, 35, 10, 10));
    EXPECT_EQ(dialog.lamp(9)->geometry(), DluRect(88, 35 + 9 * 19, 10, 10));
    EXPECT_EQ(dialog.lamp(10)->geometry(), DluRect(196, 34, 10, 10));
    EXPECT_EQ(dialog.lamp(19)->geometry(), DluRect(307, 34 + 5 * 19, 10, 10));
    auto* quit = FindControl<QPushButton>(&dialog, 2);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(quit->geometry(), DluRect(142, 245, 50, 14));
}

TEST_F(MonitorDialogsTest, LampsAreLitGreenOrDarkGrey) {
    start();
    CPortsStateDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    EXPECT_FALSE(dialog.monitor().started());
    for (int i = 0; i < kLampCount; ++i) {
        EXPECT_EQ(CentreColour(dialog.lamp(i)), QColor(180, 180, 180)) << "dark at first: " << i;
    }

    state.driveStatus.inputBits = 0x0200;
    state.driveStatus.outputBits = 0x0013;  // SRDY, BRK; bit 0 has no lamp
    state.driveStatus.phaseBits = 0x003F;
    dialog.redraw();
    for (int i = 0; i < kLampCount; ++i) {
        EXPECT_EQ(CentreColour(dialog.lamp(i)), QColor(180, 180, 180)) << "not connected: " << i;
    }

    state.link.driveConnected = 1;
    dialog.redraw();
    const std::vector<int> lit = {0, 10, 13, 14, 15, 16, 17, 18, 19};
    for (int i = 0; i < kLampCount; ++i) {
        const bool on = std::find(lit.begin(), lit.end(), i) != lit.end();
        EXPECT_EQ(dialog.lampStates()[i], on ? 1 : 0) << i;
        EXPECT_EQ(CentreColour(dialog.lamp(i)), on ? QColor(0, 200, 0) : QColor(180, 180, 180))
            << i;
    }
    // One lit and one dark image a tick, copied to every lamp.
    EXPECT_EQ(dialog.lamp(0)->pixmap().cacheKey(), dialog.lamp(10)->pixmap().cacheKey());
    EXPECT_EQ(dialog.lamp(1)->pixmap().cacheKey(), dialog.lamp(2)->pixmap().cacheKey());
    EXPECT_NE(dialog.lamp(0)->pixmap().cacheKey(), dialog.lamp(1)->pixmap().cacheKey());
    // The corner is the button face around the circle.
    const QImage corner = dialog.lamp(0)->pixmap().toImage();
    EXPECT_EQ(corner.pixelColor(0, 0), dialog.palette().color(QPalette::Button));

    // A lost link leaves the lamps as last decoded.
    state.link.driveConnected = 0;
    state.driveStatus.inputBits = 0;
    dialog.redraw();
    EXPECT_EQ(dialog.lampStates()[0], 1);
}

TEST_F(MonitorDialogsTest, PortsStateMonitorsWhileOpen) {
    start();
    connectDrive();
    int servoEnable = -1;
    whileOpen = [&](QDialog& d) {
        auto& dialog = dynamic_cast<CPortsStateDlg&>(d);
        EXPECT_TRUE(dialog.monitor().started());
        ASSERT_TRUE(Eventually([&] { return dialog.monitor().pollCount() >= 1; }));
        dialog.redraw();
        servoEnable = dialog.lampStates()[0];
    };
    choose(ID_PORTS_STATE);
    EXPECT_EQ(servoEnable, 1) << "the simulated drive has its servo enabled";
    EXPECT_EQ(state.driveStatus.monitorFinished, 1u);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test
