// "Servo State..." and "Ports State...", for what the windows alone decide: which box
// shows which value and when, the DC bus box's version gate, the lamps' layout and
// colours, and the monitor thread started by opening and stopped by closing.

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "app/ui/DialogUnits.h"
#include "monitor/StatusWords.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/monitor/PollHold.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using MonitorDialogsTest = ShellTest;

// "1196=-1 1197=0 ..." for the boxes named.
std::string Boxes(QWidget* dialog, std::initializer_list<int> ids) {
    std::string s;
    for (const int id : ids) {
        s += (s.empty() ? "" : " ") + std::to_string(id) + "=" +
             FindControl<QLineEdit>(dialog, id)->text().toStdString();
    }
    return s;
}

QColor CentreColour(const QLabel* lamp) {
    const QImage image = lamp->pixmap().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST_F(MonitorDialogsTest, ServoStateShowsTheRecordInItsBoxesWhileConnected) {
    start();
    CServoStateDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    EXPECT_FALSE(dialog.monitor().started()) << "no drive, no thread";
    StoreStatusWords(state.driveStatus,
                     {0xFF80, 0xFFFD, 990, 0x0107, 0x00C0, 0x000A, 1000, 0, 0, 0, 311});
    const std::initializer_list<int> ids = {1196, 1197, 1201, 1208, 1198,
                                            1199, 1204, 1209, 1210, 1211};
    dialog.refresh();
    EXPECT_EQ(Boxes(&dialog, ids),
              "1196=0 1197=0 1201=0 1208=0 1198=0 1199=0 1204=0 1209=0 "
              "1210=0 1211=0")
        << "not connected: the boxes stay";
    state.link.driveConnected = 1;
    dialog.refresh();
    EXPECT_EQ(Boxes(&dialog, ids),
              "1196=-1 1197=0 1201=990 1208=10 1198=1.5 1199=2 1204=1000 "
              "1209=2 1210=7 1211=311");
}

TEST_F(MonitorDialogsTest, TheTemplatesAndTheDcBusBoxFromSoftwareVersion1001) {
    start();
    for (const uint32_t version : {913u, 1003u}) {
        state.identity.softwareVersion = version;
        CServoStateDlg dialog(*context, frame());
        dialog.prepare();
        EXPECT_EQ(!FindControl<QLabel>(&dialog, 1237)->isHidden(), version == 1003);
        EXPECT_EQ(!FindControl<QLineEdit>(&dialog, 1211)->isHidden(), version == 1003);
        EXPECT_TRUE(FindControl<QLineEdit>(&dialog, 1196)->isReadOnly());
        EXPECT_EQ(dialog.size(), DluSize(329, 190));
        EXPECT_TRUE(FindControl<QPushButton>(&dialog, 2)->isDefault());
    }
    CPortsStateDlg dialog(*context, frame());
    dialog.ensurePolished();  // laid out in its font's units
    EXPECT_EQ(dialog.size(), DluSize(339, 276));
    for (auto* group : dialog.findChildren<QGroupBox*>()) {
        EXPECT_EQ(group->size(), DluSize(95, 215));
    }
    EXPECT_EQ(dialog.lamp(0)->geometry(), DluRect(88, 35, 10, 10));
    EXPECT_EQ(dialog.lamp(9)->geometry(), DluRect(88, 35 + 9 * 19, 10, 10));
    EXPECT_EQ(dialog.lamp(10)->geometry(), DluRect(196, 34, 10, 10));
    EXPECT_EQ(dialog.lamp(19)->geometry(), DluRect(307, 34 + 5 * 19, 10, 10));
    EXPECT_EQ(FindControl<QPushButton>(&dialog, 2)->geometry(), DluRect(142, 245, 50, 14));
}

TEST_F(MonitorDialogsTest, LampsAreLitGreenOrDarkGreyFromTheRecordWhileConnected) {
    start();
    CPortsStateDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    EXPECT_FALSE(dialog.monitor().started());
    const auto colours = [&] {
        std::string s;
        for (int i = 0; i < kLampCount; ++i) {
            const QColor c = CentreColour(dialog.lamp(i));
            s += c == QColor(0, 200, 0) ? 'G' : (c == QColor(180, 180, 180) ? '.' : '?');
        }
        return s;
    };
    EXPECT_EQ(colours(), "....................");
    state.driveStatus.inputBits = 0x0200;
    state.driveStatus.outputBits = 0x0013;  // SRDY, BRK; bit 0 has no lamp
    state.driveStatus.phaseBits = 0x003F;
    dialog.redraw();
    EXPECT_EQ(colours(), "....................") << "not connected";
    state.link.driveConnected = 1;
    dialog.redraw();
    EXPECT_EQ(colours(), "G.........G..GGGGGGG");
    // One lit and one dark image a tick, copied to every lamp, on the button face.
    EXPECT_EQ(dialog.lamp(0)->pixmap().cacheKey(), dialog.lamp(10)->pixmap().cacheKey());
    EXPECT_EQ(dialog.lamp(1)->pixmap().cacheKey(), dialog.lamp(2)->pixmap().cacheKey());
    EXPECT_EQ(dialog.lamp(0)->pixmap().toImage().pixelColor(0, 0),
              dialog.palette().color(QPalette::Button));
    // A lost link leaves the lamps as last decoded.
    state.link.driveConnected = 0;
    state.driveStatus.inputBits = 0;
    dialog.redraw();
    EXPECT_EQ(colours(), "G.........G..GGGGGGG");
}

// Opened with a drive, each monitor polls and shows the drive's values (311 V, the servo
// enabled); closed while a poll is under way, it waits for that poll to end and the
// drive hears nothing more.
TEST_F(MonitorDialogsTest, EachMonitorPollsWhileOpenAndItsCloseWaitsForThePollUnderWay) {
    for (const auto& [command, title] : {std::pair{ID_SERVO_STATE, "Servo State Monitor"},
                                         std::pair{ID_PORTS_STATE, "Ports State Monitor"}}) {
        SCOPED_TRACE(title);
        app.reset();
        context.reset();
        dialogsOpened = 0;
        start();
        connectDrive();
        PollHold hold;
        hold.armed = false;
        hold.install(*drive, state.driveStatus);
        std::string shown;
        whileOpen = [&](QDialog& d) {
            EXPECT_EQ(d.windowTitle().toStdString(), title);
            const uint64_t requests = drive->requestCount();
            ASSERT_TRUE(RunEventsUntil([&] { return drive->requestCount() > requests + 6; }));
            EXPECT_EQ(state.driveStatus.monitorFinished, 0u);
            if (auto* servo = qobject_cast<CServoStateDlg*>(&d)) {
                servo->refresh();
                shown = Boxes(servo, {1211});
            } else {
                auto* portsDlg = qobject_cast<CPortsStateDlg*>(&d);
                portsDlg->redraw();
                shown = "lamp0=" + std::to_string(portsDlg->lampStates()[0]);
            }
            hold.armed = true;
            ASSERT_TRUE(RunEventsUntil([&] { return hold.held.load(); }));
            FindControl<QPushButton>(&d, 2)->click();
            EXPECT_FALSE(d.isVisible());
        };
        choose(command);
        EXPECT_EQ(dialogsOpened, 1);
        EXPECT_EQ(shown, command == ID_SERVO_STATE ? "1211=311" : "lamp0=1");
        EXPECT_EQ(state.driveStatus.monitorRun, 0u);
        EXPECT_EQ(state.driveStatus.monitorFinished, 1u);
        EXPECT_EQ(state.link.driveConnected, 0u) << "the poll under way failed";
        EXPECT_TRUE(PollHold::OnlyThePollWentOn(drive->requestLog(), hold.atClear));
        const uint64_t requests = drive->requestCount();
        clock.advanceUs(5'000'000);
        EXPECT_EQ(drive->requestCount(), requests);
        EXPECT_TRUE(boxes.empty());
    }
}

}  // namespace
}  // namespace qx::test
