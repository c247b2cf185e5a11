// The simulated drive as a peer: it answers like a drive, keeps its memory, and
// misbehaves exactly as asked.

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(SimDrive, ADriveThatWentAwayComesBack) {
    SimLink s;
    ASSERT_TRUE(s.open());
    s.drive->goAwayFor(2'000'000);
    EXPECT_EQ(PollRequest(s.link, 1, 500), kStatusNoReply);
    s.clock.sleepMs(2000);
    EXPECT_EQ(PollRequest(s.link, 1, 500), kStatusOk);
}

// However many words a read asks for, the reply stays within the 256-byte frame.
TEST(SimDrive, NoReplyExceedsTheFrameLimit) {
    sim::SimDrive drive;
    for (const int words : {124, 125, 255}) {
        const uint8_t payload[] = {0x00, 0x91, 0x02, 0x00, 0x00, static_cast<uint8_t>(words)};
        std::array<uint8_t, 16> request{};
        const std::size_t n = BuildFrame(0xC1, 1, payload, request);
        EXPECT_EQ(drive.handleRequest(std::span(request).first(n), 0).size(), 256u) << words;
    }
}

// Sends a probe every 10 ms of virtual time; true for each one the drive answered.
std::vector<bool> ProbeEvery10Ms(SimLink& s, int probes) {
    std::vector<bool> answered;
    for (int i = 0; i < probes; ++i) {
        const uint8_t probe[] = {0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C};
        answered.push_back(!s.drive->handleRequest(probe, s.clock.nowUs()).empty());
        s.clock.advanceUs(10'000);
    }
    return answered;
}

TEST(SimDrive, SilentSpellsLastOneToTwoSecondsAndFollowTheSeed) {
    SimLink a, b;
    a.drive->setSilentSpells(0.01, 42);
    b.drive->setSilentSpells(0.01, 42);
    const std::vector<bool> first = ProbeEvery10Ms(a, 20'000);
    EXPECT_EQ(ProbeEvery10Ms(b, 20'000), first) << "the same seed, the same spells";
    // 1 to 2 s silence 100 to 200 probes 10 ms apart (with this seed no spell begins right
    // as the one before ends).
    std::size_t spells = 0, silent = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (first[i] && silent > 0) {
            EXPECT_TRUE(silent >= 100 && silent <= 200) << "at probe " << i << ": " << silent;
            ++spells;
        }
        silent = first[i] ? 0 : silent + 1;
    }
    EXPECT_GT(spells, 20u);
    EXPECT_EQ(a.drive->faultTally().spells, spells + (silent > 0 ? 1 : 0));
    b.drive->clearFaults();
    const std::vector<bool> after = ProbeEvery10Ms(b, 300);
    EXPECT_EQ(std::count(after.begin(), after.end(), false), 0) << "cleared with the faults";
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

// Valid rules are the transcripts' to parse; what is refused, and the away plan.
TEST(SimOptions, FaultRulesAndTheAwayPlanFromText) {
    sim::FaultRule rule;
    for (const char* bad : {"gremlins", "silence,cmd", "silence,colour=3"}) {
        EXPECT_TRUE(sim::ParseFaultRule(bad, rule)) << bad;
    }
    sim::SimOptions options;
    EXPECT_FALSE(sim::ParseAwaySpec("100:2000", options));
    EXPECT_EQ(*options.awayAfterMs, 100u);
    EXPECT_TRUE(sim::ParseAwaySpec("100", options));
}

}  // namespace
}  // namespace qx::test
