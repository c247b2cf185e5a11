// "Port Settings...", the COM ports that follow the adapters, and the view that shows
// the connection.

#include <QComboBox>
#include <QSettings>

#include "app/ui/AppInfo.h"
#include "app/ui/CQuendrixView.h"
#include "link/ComSettingsFile.h"
#include "link/ui/CPortSettingsDlg.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/support/DriveSimProcess.h"
#include "tests/support/FakeDeviceTree.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using PortSettingsTest = ShellTest;

constexpr const char* kIdA = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kIdB = "usb-FTDI_FT232R_USB_UART_B7731QX2-if00-port0";

QStringList ViewLines(CQuendrixApp& app) {
    return app.view()->summary().split(QLatin1Char('\n'));
}

TEST_F(PortSettingsTest, ChoicesAreStoredBesideTheRecentFilesWhereTheCommandLineToolReadsThem) {
    FakeDeviceTree tree;
    tree.addAdapter("ttyUSB0", kIdA, 1, "FTDI", "FT232R USB UART", "A50285BI");
    tree.addAdapter("ttyUSB1", kIdB, 2, "FTDI", "FT232R USB UART", "B7731QX2");
    ports = PortMap{};
    start();
    context->comMapping().setRoots(tree.roots());

    QStringList items;
    whileOpen = [&](QDialog& dialog) {
        auto& dlg = dynamic_cast<CPortSettingsDlg&>(dialog);
        for (int i = 0; i < dlg.comboFor(1)->count(); ++i) {
            items << dlg.comboFor(1)->itemText(i);
        }
        dlg.comboFor(2)->setCurrentIndex(2);
        dlg.comboFor(3)->setEditText(QStringLiteral(" /dev/ttyACM7"));
        dlg.comboFor(4)->setCurrentIndex(3);
    };
    choose(ID_PORT_SETTINGS);
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[2].toStdString(), "FTDI FT232R USB UART (B7731QX2) - " + tree.byId(kIdB));
    const std::array<std::string, 4> stored = {"", tree.byId(kIdB), "/dev/ttyACM7", "sim"};
    const QSettings profile(QSettings::NativeFormat, QSettings::UserScope,
                            QString::fromLatin1(kProfileOrganisation),
                            QString::fromLatin1(kAppTitle));
    EXPECT_EQ(ReadStoredComChoices(profile.fileName().toStdString()), stored);
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
    EXPECT_EQ(ReadStoredComChoices(profile.fileName().toStdString()), stored);
    QSettings(profile.fileName(), QSettings::NativeFormat).remove(QStringLiteral("Ports"));
}

TEST_F(PortSettingsTest, TheViewShowsTheConnectionAfterEveryCommand) {
    start();
    EXPECT_EQ(ViewLines(*app).front(), "Port: none picked yet (COM menu)");
    choose(ID_COM1);
    EXPECT_EQ(ViewLines(*app),
              (QStringList{"Port: COM1 on the simulated drive", "Drive: connected",
                           "Versions: boot ROM 101, software 913, FPGA 258",
                           "Last operation: Notes: Connectting with servo succeeds!"}));
    // A dialog's failed exchange clears the flag; the view says so once the dialog closed.
    state.link.driveConnected = 0;
    choose(ID_APP_ABOUT);
    EXPECT_EQ(ViewLines(*app)[1], "Drive: not connected (the port is open)");

    choose(ID_COM2);
    EXPECT_EQ(
        boxes.back().detail,
        std::string("Device: ") + kNoDevice +
            "\nReason: the device is not there (was the adapter unplugged?)\nRemedy: plug the "
            "adapter in and pick COM2 again, or choose the device in COM > Port Settings... "
            "(quendrix-cli: --port or --com)");
    EXPECT_EQ(ViewLines(*app).back(), "Last operation: Warning: Create COM2 Fails!");
}

TEST_F(PortSettingsTest, StartedWithoutOptionsAndOneAdapterCom1ReachesTheDrive) {
    DriveSimProcess sim(QX_DRIVE_SIM, {"--pace"});
    FakeDeviceTree tree;
    tree.addAdapter("ttyUSB0", "usb-Quendrix_Drive_Cable_Q1-if00-port0", 1, "Quendrix",
                    "Drive Cable", "Q1", sim.device());
    tree.addUart("ttyS0", "0");
    ports = PortMap{};
    programClock = &steadyClock();
    start();
    context->comMapping().setRoots(tree.roots());
    choose(ID_COM1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Connectting with servo succeeds!"});
    EXPECT_EQ(ViewLines(*app).front().toStdString(),
              "Port: COM1 on " + tree.byId("usb-Quendrix_Drive_Cable_Q1-if00-port0") +
                  " (Quendrix Drive Cable (Q1))");
}

}  // namespace
}  // namespace qx::test
