// The start-up values every later subsystem relies on.

#include <gtest/gtest.h>

#include "app/ConnectionSummary.h"
#include "app/SharedState.h"

namespace qx {
namespace {

// The flags, the capture request and the free-run settings a run may have left are reset; a
// capture's sample rate keeps what it held.
TEST(SharedState, StartupValuesOfAFreshProgram) {
    SharedState s;
    s.link.portOpen = s.link.driveConnected = s.parameterTable.parametersLoaded = 1;
    s.speedCaptureSettings.sampleRateHz = 2000;
    s.loopCaptureRequest.loopKind = 2;
    s.freeRunSettings = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {0, 0, 0}, {}, {}, 2};
    ApplyStartupValues(s);
    // Lasting time, range, sample position, divider, rate, count.
    const auto loop = [](const LoopCaptureSettings& c) {
        return std::make_tuple(c.lastingTimeMs, c.range, c.samplePosition, c.sampleDivider,
                               c.sampleRateHz, c.sampleCount);
    };
    EXPECT_EQ(loop(s.currentCaptureSettings), std::make_tuple(300, 1.0f, 0.96f, 1, 0, 512));
    EXPECT_EQ(loop(s.speedCaptureSettings), std::make_tuple(500, 2500.0f, 0.95f, 4, 2000, 512));
    EXPECT_EQ(loop(s.positionCaptureSettings), std::make_tuple(1000, 100000.0f, 0.95f, 16, 0, 512));

    // Position, speed, current: offset, trigger value, edge, type, rate, count; current
    // monitoring first.
    EXPECT_EQ(
        s.freeRunSettings,
        (FreeRunSettings{
            {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {200, 1000, 4000}, {512, 512, 512}, 0}));

    EXPECT_EQ(
        std::make_tuple(s.link.portOpen.load(), s.link.driveConnected.load(),
                        s.parameterTable.parametersLoaded.load(), s.loopCaptureRequest.loopKind),
        std::make_tuple(0u, 0u, 0u, 0));
}

// The main window's view before any port, and for a port without a device after a drive
// that was refused.
TEST(ConnectionSummary, BeforeAnyPortAndAfterARefusedDrive) {
    using Lines = std::vector<std::string>;
    SharedState s;
    EXPECT_EQ(ConnectionSummary(s, "", "", ""),
              (Lines{"Port: none picked yet (COM menu)", "Drive: not connected",
                     "Versions: none read yet", "Last operation: none yet"}));
    s.link.portOpen = 1;
    s.identity.bootRomVersion = 101;
    s.identity.softwareVersion = 1004;
    s.identity.fpgaVersion = 258;
    EXPECT_EQ(
        ConnectionSummary(s, "COM3", "", "Warning: Quendrix mismatchs the servo!"),
        (Lines{"Port: COM3, no device found for it", "Drive: not connected (the port is open)",
               "Versions: boot ROM 101, software 1004, FPGA 258 (software version not "
               "supported) (the drive identified last)",
               "Last operation: Warning: Quendrix mismatchs the servo!"}));
}

}  // namespace
}  // namespace qx
