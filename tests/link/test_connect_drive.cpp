// Opening a COM port and identifying the drive behind it, against the simulated drive
// in virtual time.

#include <gtest/gtest.h>

#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;

TEST(OpenDrivePort, PortNumbersOutsideTwoToFourMeanCom1) {
    for (int n : {0, 1, 5, -3}) {
        SimLink s;
        s.absentPorts = {"COM1"};
        EXPECT_EQ(s.link.OpenDrivePort(s.messages, n), 0);
        EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Create COM1 Fails!", "Warning"}}));
    }
    for (int n : {2, 3, 4}) {
        SimLink s;
        s.absentPorts = {"COM" + std::to_string(n)};
        EXPECT_EQ(s.link.OpenDrivePort(s.messages, n), 0);
        EXPECT_EQ(s.messages.texts(),
                  std::vector<std::string>{"Create COM" + std::to_string(n) + " Fails!"});
    }
}

TEST(OpenDrivePort, SetupAndProbeFailuresAreReportedAndLeaveNothingOpen) {
    ScriptedLink s;
    s.firstReplies = {};
    EXPECT_EQ(s.link.OpenDrivePort(s.messages, 3), 0);
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"No Servo connected with COM3!", "Warning"}}));
    EXPECT_TRUE(s.lastPortClosed) << "a port whose probe failed is closed at once";
    EXPECT_EQ(s.state.link.portOpen, 0u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);

    ScriptedLink t;
    DriveLink link(t.state.link, t.clock, [&](const std::string&) {
        auto p = std::make_unique<ScriptedPort>(t.clock);
        p->configureOk_ = false;
        return p;
    });
    EXPECT_EQ(link.OpenDrivePort(t.messages, 2), 0);
    EXPECT_EQ(t.messages.texts(), std::vector<std::string>{"Setup COM2 Fails!"});
}

TEST(OpenDrivePort, SuccessSetsFlagsAndAFailedSwitchClearsThem) {
    SimLink s;
    ASSERT_TRUE(s.open(1));
    EXPECT_EQ(s.state.link.portOpen, 1u);
    EXPECT_EQ(s.state.link.driveConnected, 1u);
    EXPECT_TRUE(s.messages.boxes().empty());

    // The same port again: closed, reopened, probed again.
    s.drive->clearRequestLog();
    ASSERT_TRUE(s.open(1));
    EXPECT_FALSE(s.drive->requestLog().empty());

    s.absentPorts = {"COM2"};
    EXPECT_FALSE(s.open(2));
    EXPECT_EQ(s.state.link.portOpen, 0u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
}

TEST(ConnectDrive, AcceptsASupportedDriveAndReadsItsVersions) {
    SimLink s;
    s.drive->setVersions({913, 0x0065, 0x0102});
    ASSERT_EQ(ChooseComPort(s.link, s.state.identity, s.messages, 1), 1);
    EXPECT_EQ(s.messages.boxes(),
              (std::vector<Box>{{"Connectting with servo succeeds!", "Notes"}}));
    const DriveIdentity& id = s.state.identity;
    EXPECT_EQ(id.versionAccepted, 1u);
    EXPECT_EQ(id.bootRomVersion, 101u);
    EXPECT_EQ(id.softwareVersion, 913u);
    EXPECT_EQ(id.fpgaVersion, 258u);
    EXPECT_EQ(id.baseSampleRateHz, 4000);
    EXPECT_EQ(id.msPerTick, 1.0f);
    EXPECT_EQ(s.state.link.driveConnected, 1u);
}

TEST(ConnectDrive, IdentificationRequestsAreExactlyThese) {
    SimLink s;
    ASSERT_TRUE(s.open());
    s.drive->clearRequestLog();
    ASSERT_EQ(ConnectDrive(s.link, s.state.identity, s.messages), 1);
    const auto log = s.drive->requestLog();
    ASSERT_EQ(log.size(), 5u);
    const std::vector<std::vector<uint8_t>> payloads = {
        {},
        {},
        {0x00, 0x1A, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00,
         0x00, 0x00, 0x00, 0x00, 0x3F, 0x7F, 0x79, 0x00, 0x00, 0x00, 0x3E, 0xFF, 0xFE},
        {0x00, 0x91, 0x04, 0x00, 0x00, 0x04},
        {0x00, 0x91, 0x00, 0x00, 0x00, 0x01}};
    const uint8_t commands[] = {0xCF, 0xC0, 0xC1, 0xC1, 0xC1};
    const uint8_t selectors[] = {0, 0, 1, 2, 3};
    for (std::size_t k = 0; k < log.size(); ++k) {
        EXPECT_EQ(log[k][1], commands[k]) << k;
        EXPECT_EQ(log[k][2], selectors[k]) << k;
        EXPECT_EQ(std::vector<uint8_t>(log[k].begin() + 4, log[k].end() - 2), payloads[k]) << k;
    }
}

TEST(ConnectDrive, SupportedVersionsOnly) {
    for (uint32_t v : {403u, 703u, 813u, 913u, 1003u, 2003u, 3003u, 4003u}) {
        EXPECT_TRUE(IsSupportedSoftwareVersion(v)) << v;
    }
    for (uint32_t v : {0u, 402u, 404u, 1000u, 1004u, 2004u, 5003u}) {
        EXPECT_FALSE(IsSupportedSoftwareVersion(v)) << v;
    }
}

TEST(ConnectDrive, UnsupportedVersionIsRejectedAfterOnePass) {
    SimLink s;
    s.drive->setVersions({1004, 101, 258});
    ASSERT_TRUE(s.open());
    s.drive->clearRequestLog();
    EXPECT_EQ(ConnectDrive(s.link, s.state.identity, s.messages), 0);
    EXPECT_EQ(s.drive->requestLog().size(), 5u);
    EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{"Quendrix mismatchs the servo!", "Warning"}}));
    EXPECT_EQ(s.state.identity.versionAccepted, 0u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
    EXPECT_EQ(s.state.identity.baseSampleRateHz, 0) << "never accepted: stays 0";
}

TEST(ConnectDrive, DriveFailingAtTheFpgaReadGetsPassesUntilTheLimit) {
    SimLink s;
    ASSERT_TRUE(s.open());
    // Every FPGA read (word 0) is answered without acknowledgement.
    s.drive->addFault({sim::Fault::NoAck, 0xC1, 0x0091, 0x0000, 0, -1});
    const uint32_t t0 = s.clock.tickMs();
    EXPECT_EQ(ConnectDrive(s.link, s.state.identity, s.messages), 0);
    EXPECT_GE(s.clock.tickMs() - t0, kConnectLimitMs);
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"Quendrix mismatchs the servo!"});
    // What the passes read before the silence stays.
    EXPECT_EQ(s.state.identity.versionAccepted, 1u);
    EXPECT_EQ(s.state.identity.softwareVersion, 913u);
    EXPECT_EQ(s.state.identity.bootRomVersion, 101u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
    int passes = 0;
    for (const auto& f : s.drive->requestLog()) {
        passes += f[1] == 0xC1 && f[5] == 0x1A;
    }
    EXPECT_GE(passes, 2);
}

TEST(ConnectDrive, DriveSilentFromTheFpgaReadOnIsRejected) {
    SimLink s;
    ASSERT_TRUE(s.open());
    s.drive->addFault({sim::Fault::Silence, 0xC1, 0x0091, 0x0000, 0, -1});
    EXPECT_EQ(ConnectDrive(s.link, s.state.identity, s.messages), 0);
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"Quendrix mismatchs the servo!"});
    EXPECT_EQ(s.state.identity.versionAccepted, 1u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
}

TEST(ConnectDrive, DriveThatComesBackWithinTheLimitIsAccepted) {
    SimLink s;
    ASSERT_TRUE(s.open());
    s.drive->goAwayFor(1'500'000);
    EXPECT_EQ(ConnectDrive(s.link, s.state.identity, s.messages), 1);
}

TEST(ConnectDrive, LaterFailedSwitchKeepsTheOldIdentity) {
    SimLink s;
    ASSERT_EQ(ChooseComPort(s.link, s.state.identity, s.messages, 1), 1);
    s.messages.clear();
    s.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    EXPECT_EQ(ChooseComPort(s.link, s.state.identity, s.messages, 2), 0);
    EXPECT_EQ(s.messages.texts(), std::vector<std::string>{"No Servo connected with COM2!"});
    EXPECT_EQ(s.state.identity.versionAccepted, 1u);
    EXPECT_EQ(s.state.identity.softwareVersion, 913u);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
    EXPECT_EQ(s.state.link.portOpen, 0u);
}

}  // namespace
}  // namespace qx::test
