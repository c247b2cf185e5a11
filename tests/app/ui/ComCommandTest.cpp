// "COM1" to "COM4": open, probe, connect, identify, and what the user is told.

#include <QLabel>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using ComCommandTest = ShellTest;

TEST_F(ComCommandTest, StartUpLeavesThePortAlone) {
    start();
    EXPECT_EQ(drive->requestCount(), 0u);
    EXPECT_EQ(state.link.portOpen, 0u);
    EXPECT_EQ(state.link.driveConnected, 0u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ComCommandTest, Com1WithTheSimulatedDriveConnectsAndSaysSo) {
    start();
    choose(ID_COM1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Connectting with servo succeeds!");
    EXPECT_EQ(boxes[0].title, "Notes");
    EXPECT_EQ(boxes[0].owner, frame());
    // The box came while the thread was still blocked in the exchange.
    EXPECT_EQ(boxes[0].cursor, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    EXPECT_EQ(state.link.portOpen, 1u);
    EXPECT_EQ(state.link.driveConnected, 1u);
    EXPECT_EQ(state.identity.versionAccepted, 1u);
    EXPECT_EQ(state.identity.bootRomVersion, 101u);
    EXPECT_EQ(state.identity.softwareVersion, 913u);
    EXPECT_EQ(state.identity.fpgaVersion, 258u);
    EXPECT_EQ(state.identity.baseSampleRateHz, 4000);
    EXPECT_EQ(state.identity.msPerTick, 1.0f);
}

TEST_F(ComCommandTest, APortWithNothingBehindItCannotBeCreated) {
    start();
    choose(ID_COM2);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Create COM2 Fails!");
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(state.link.driveConnected, 0u);
    EXPECT_EQ(state.identity.versionAccepted, 0u);
}

TEST_F(ComCommandTest, ASilentDriveIsNoServo) {
    ports.setDevice(3, PortMap::kSimulatedDevice);
    simOptions.faults.push_back(sim::FaultRule{.fault = sim::Fault::Silence, .count = -1});
    start();
    choose(ID_COM3);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"No Servo connected with COM3!"});
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_EQ(state.link.driveConnected, 0u);
}

TEST_F(ComCommandTest, AnUnsupportedDriveIsAMismatch) {
    simOptions.config.softwareVersion = 1004;
    start();
    choose(ID_COM1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Quendrix mismatchs the servo!"});
    EXPECT_EQ(boxes[0].title, "Warning");
    EXPECT_EQ(state.identity.softwareVersion, 1004u);
    EXPECT_EQ(state.identity.versionAccepted, 0u);
    EXPECT_EQ(state.link.driveConnected, 0u);
    EXPECT_EQ(state.identity.baseSampleRateHz, 0);
}

TEST_F(ComCommandTest, AfterAFailedSwitchAboutServoStillShowsTheOldDrive) {
    start();
    choose(ID_COM1);
    choose(ID_COM4);
    EXPECT_EQ(boxTexts(),
              (std::vector<std::string>{"Connectting with servo succeeds!", "Create COM4 Fails!"}));
    EXPECT_EQ(state.link.driveConnected, 0u);
    EXPECT_EQ(state.identity.versionAccepted, 1u);

    QString software;
    whileOpen = [&](QDialog& dialog) { software = FindControl<QLabel>(&dialog, 1225)->text(); };
    choose(ID_ABOUT_SERVO);
    EXPECT_EQ(software, QStringLiteral("The Software Version is 913."));
    EXPECT_EQ(boxes.size(), 2u);
}

}  // namespace
}  // namespace qx::test
