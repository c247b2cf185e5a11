// The simulated drive as a peer: it answers like a drive, keeps its memory, and
// misbehaves exactly as asked. (One that went away and comes back: ConnectDrive's
// outcomes.)

#include <gtest/gtest.h>

#include "link/DriveCommands.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"
#include "sim/WireTiming.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

TEST(SimDrive, EveryFaultKindGivesTheStatusTheLinkMustSee) {
    const std::vector<std::pair<sim::Fault, uint32_t>> cases = {
        {sim::Fault::Silence, kStatusNoReply},
        {sim::Fault::BadChecksum, kStatusBadChecksum},
        {sim::Fault::NoAck, kStatusNoAck},
        {sim::Fault::TrailingBytes, kStatusTrailingBytes},
        {sim::Fault::WrongEcho, kStatusBadSelector},
        {sim::Fault::Truncate, kStatusIncomplete},
    };
    for (const auto& [fault, status] : cases) {
        SCOPED_TRACE(sim::FaultName(fault));
        SimLink s;
        ASSERT_TRUE(s.open());
        s.drive->addFault({fault, 0xC1, 0x0091, -1, 0, -1});
        EXPECT_EQ(ReadWords(s.link, 1, 0, 1, 0), status);
        s.drive->clearFaults();
        s.drive->addFault({fault, 0xC1, 0x0091, -1, 0, 1});
        EXPECT_EQ(ReadWords(s.link, 1, 0, 1, 2000), kStatusOk) << "one fault, then a retry";
    }
}

TEST(SimPort, PacedRepliesTakeTheirWireTime) {
    VirtualClock clock;
    auto drive = std::make_shared<sim::SimDrive>();
    sim::SimPort port(drive, clock, true);
    ASSERT_EQ(port.open(), OpenResult::Ok);
    port.setTimeouts(PortTimeouts{});
    const uint8_t probe[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
    const uint64_t t0 = clock.nowUs();
    port.write(probe, sizeof probe);
    uint8_t got[128];
    ASSERT_EQ(port.read(got, sizeof got), 8u);
    // Six bytes out, eight back, then the 1 ms of silence that ends the read.
    EXPECT_EQ(clock.nowUs() - t0, sim::WireTimeUs(6) + sim::WireTimeUs(8) + 1000);
}

}  // namespace
}  // namespace qx::test
