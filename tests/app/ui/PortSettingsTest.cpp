// "Port Settings..." and the COM ports that follow the adapters. (A COM port that reaches
// a drive through an adapter is the devices script's; the view is ComCommandTest's.)

#include <QComboBox>
#include <QSettings>

#include "app/ui/AppInfo.h"
#include "link/ComSettingsFile.h"
#include "link/ui/CPortSettingsDlg.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/support/FakeDeviceTree.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using PortSettingsTest = ShellTest;

constexpr const char* kIdA = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
constexpr const char* kIdB = "usb-FTDI_FT232R_USB_UART_B7731QX2-if00-port0";

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

}  // namespace
}  // namespace qx::test
