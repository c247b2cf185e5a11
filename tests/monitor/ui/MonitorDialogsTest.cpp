// "Servo State..." and "Ports State...", for what the windows alone decide: which box shows
// what and when, the lamps' colours, and the monitor thread started and stopped.

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "monitor/StatusWords.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/monitor/PollHold.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using MonitorDialogsTest = ShellTest;
using Bytes = std::vector<uint8_t>;

// "1196=-1 1197=0 ..." for the boxes named.
std::string Boxes(QWidget* dialog, std::initializer_list<int> ids) {
    std::string s;
    for (const int id : ids) {
        s += (s.empty() ? "" : " ") + std::to_string(id) + "=" +
             FindControl<QLineEdit>(dialog, id)->text().toStdString();
    }
    return s;
}

// The boxes show the record only while connected, the DC bus from version 1001 on.
TEST_F(MonitorDialogsTest, ServoStateShowsTheRecordInItsBoxesWhileConnected) {
    start();
    StoreStatusWords(state.driveStatus,
                     {0xFF80, 0xFFFD, 990, 0x0107, 0x00C0, 0x000A, 1000, 0, 0, 0, 311});
    const std::initializer_list<int> ids = {1196, 1197, 1201, 1208, 1198,
                                            1199, 1204, 1209, 1210, 1211};
    for (const uint32_t version : {913u, 1003u}) {
        state.identity.softwareVersion = version;
        state.link.driveConnected = 0;
        CServoStateDlg dialog(*context, frame());
        ASSERT_TRUE(dialog.prepare());
        EXPECT_FALSE(dialog.monitor().started()) << "no drive, no thread";
        EXPECT_EQ(!FindControl<QLabel>(&dialog, 1237)->isHidden(), version == 1003);
        EXPECT_EQ(!FindControl<QLineEdit>(&dialog, 1211)->isHidden(), version == 1003);
        dialog.refresh();
        EXPECT_EQ(Boxes(&dialog, {1196, 1211}), "1196=0 1211=0") << "not connected";
        state.link.driveConnected = 1;
        dialog.refresh();
        EXPECT_EQ(
            Boxes(&dialog, ids),
            "1196=-1 1197=0 1201=990 1208=10 1198=1.5 1199=2 1204=1000 1209=2 1210=7 1211=311");
    }
}

TEST_F(MonitorDialogsTest, LampsAreLitGreenOrDarkGreyFromTheRecordWhileConnected) {
    start();
    CPortsStateDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    const auto colours = [&] {
        std::string s;
        for (int i = 0; i < kLampCount; ++i) {
            const QImage image = dialog.lamp(i)->pixmap().toImage();
            const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
            s += c == QColor(0, 200, 0) ? 'G' : (c == QColor(180, 180, 180) ? '.' : '?');
        }
        return s;
    };
    EXPECT_EQ(colours(), "....................");
    state.driveStatus.inputBits = 0x0200;
    state.driveStatus.outputBits = 0x0013;  // SRDY, BRK; bit 0 has no lamp
    state.driveStatus.phaseBits = 0x003F;
    state.link.driveConnected = 1;
    dialog.redraw();
    EXPECT_EQ(colours(), "G.........G..GGGGGGG");
    // The button face around the circle.
    EXPECT_EQ(dialog.lamp(0)->pixmap().toImage().pixelColor(0, 0),
              dialog.palette().color(QPalette::Button));
    // A lost link (or none) leaves the lamps as last decoded.
    state.link.driveConnected = 0;
    state.driveStatus.inputBits = 0;
    dialog.redraw();
    EXPECT_EQ(colours(), "G.........G..GGGGGGG");
}

// Opened with a drive, each monitor polls and shows the drive's values (311 V, the servo
// enabled); closed while a poll is under way, it waits for that poll to end and the
// drive hears nothing more.
TEST_F(MonitorDialogsTest, EachMonitorPollsWhileOpenAndItsCloseWaitsForThePollUnderWay) {
    for (const int command : {ID_SERVO_STATE, ID_PORTS_STATE}) {
        SCOPED_TRACE(command);
        app.reset();
        context.reset();
        start();
        connectDrive();
        PollHold hold;
        hold.armed = false;
        hold.install(*drive, state.driveStatus);
        std::string shown;
        whileOpen = [&](QDialog& d) {
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
        };
        choose(command);
        EXPECT_EQ(shown, command == ID_SERVO_STATE ? "1211=311" : "lamp0=1");
        EXPECT_EQ(state.driveStatus.monitorFinished, 1u);
        const auto log = drive->requestLog();  // then only the poll request under way, again
        EXPECT_EQ(
            std::count(log.begin() + hold.atClear, log.end(), Bytes{0xAA, 0xC2, 1, 3, 1, 0x70}),
            log.end() - (log.begin() + hold.atClear));
        const uint64_t requests = drive->requestCount();
        clock.advanceUs(5'000'000);
        EXPECT_EQ(drive->requestCount(), requests);
        EXPECT_TRUE(boxes.empty());
    }
}

}  // namespace
}  // namespace qx::test
