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

TEST(SimDrive, WritesLandInMemoryAndGoneDriveComesBack) {
    SimLink s;
    ASSERT_TRUE(s.open());
    const uint16_t words[] = {7, 8, 9};
    ASSERT_EQ(WriteWords(s.link, 1, 0x0260, words, 500), kStatusOk);
    EXPECT_EQ(s.drive->read(0x0261), 8);
    ASSERT_EQ(ReadWords(s.link, 2, 0x025F, 4, 500), kStatusOk);
    EXPECT_EQ(s.link.replyWord(1), 7);

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
    SimLink a;
    a.drive->setSilentSpells(0.01, 42);
    const std::vector<bool> first = ProbeEvery10Ms(a, 20'000);
    std::size_t spells = 0;
    for (std::size_t i = 0, end = 0; i < first.size(); i = std::max(end, i + 1)) {
        for (end = i; end < first.size() && !first[end]; ++end) {
        }
        if (end > i && end < first.size()) {
            // 1 to 2 s silences 100 to 200 probes 10 ms apart (with this seed no spell
            // begins right as the one before ends).
            EXPECT_TRUE(end - i >= 100 && end - i <= 200) << "at probe " << i << ": " << end - i;
            ++spells;
        }
    }
    EXPECT_GT(spells, 20u);
    EXPECT_EQ(a.drive->faultTally().spells, spells + (first.back() ? 0 : 1));
    SimLink b;
    b.drive->setSilentSpells(0.01, 42);
    EXPECT_EQ(ProbeEvery10Ms(b, 20'000), first) << "the same seed, the same spells";
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

TEST(SimOptions, FaultRulesFromText) {
    sim::FaultRule rule;
    EXPECT_FALSE(sim::ParseFaultRule("no-ack,cmd=0xC1,sub=0x0091,addr=0,skip=1,count=-1", rule));
    EXPECT_EQ(rule.fault, sim::Fault::NoAck);
    EXPECT_EQ(rule.command, 0xC1);
    EXPECT_EQ(rule.subCommand, 0x91);
    EXPECT_EQ(rule.address, 0);
    EXPECT_EQ(rule.skip, 1);
    EXPECT_EQ(rule.count, -1);
    EXPECT_TRUE(sim::ParseFaultRule("gremlins", rule));
    EXPECT_TRUE(sim::ParseFaultRule("silence,cmd", rule));
    EXPECT_TRUE(sim::ParseFaultRule("silence,colour=3", rule));
    sim::SimOptions options;
    EXPECT_FALSE(sim::ParseAwaySpec("100:2000", options));
    EXPECT_EQ(*options.awayAfterMs, 100u);
    EXPECT_TRUE(sim::ParseAwaySpec("100", options));
}

}  // namespace
}  // namespace qx::test
