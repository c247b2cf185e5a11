// The frame link: frame layout, reply validation with every status code, the retry
// loop and its time budget, the sync burst and opening a port.

#include <gtest/gtest.h>

#include <algorithm>

#include "link/DriveCommands.h"
#include "link/DriveLink.h"
#include "params/ParamTransfer.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameFormat, WorkedFramesMatchByteForByte) {
    std::array<uint8_t, 64> out{};
    const std::size_t n = BuildFrame(0xCF, 0, {}, out);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), (Bytes{0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C}));

    ScriptedLink s;
    s.open();
    s.port->script(Bytes{0xAA, 0xC1, 0x03, 0x05, 0xAA, 0x55, 0x01, 0x02, 0x02, 0x75});
    ASSERT_EQ(ReadWords(s.link, 3, 0x0000, 1, 500), kStatusOk);
    EXPECT_EQ(s.port->requests().back(),
              (Bytes{0xAA, 0xC1, 0x03, 0x06, 0x00, 0x91, 0x00, 0x00, 0x00, 0x01, 0x02, 0x06}));
    EXPECT_EQ(s.link.replyWord(0), 0x0102);
    // The probe and its shortest acknowledged reply.
    EXPECT_EQ(s.port->requests().front(), (Bytes{0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C}));
    EXPECT_EQ(AckReply(0xCF, 0), (Bytes{0xAA, 0xCF, 0x00, 0x04, 0xAA, 0x55, 0x02, 0x7C}));
}

struct ReceiveCase {
    const char* name;
    Bytes reply;
    uint32_t status;
};

Bytes WithBody(uint8_t cmd, uint8_t sel, uint8_t wordCount, Bytes body) {
    Bytes f = {0xAA, cmd, sel, wordCount};
    f.insert(f.end(), body.begin(), body.end());
    uint32_t sum = 0;
    for (uint8_t b : f)
        sum += b;
    f.push_back(static_cast<uint8_t>(sum >> 8));
    f.push_back(static_cast<uint8_t>(sum));
    return f;
}

Bytes Corrupt(Bytes f, std::size_t at, uint8_t value) {
    f[at] = value;
    return f;
}

Bytes Append(Bytes f, Bytes more) {
    f.insert(f.end(), more.begin(), more.end());
    return f;
}

TEST(ReceiveReply, EveryStatusCode) {
    const Bytes good = AckReply(0xC1, 7, {0x1234});
    const Bytes noAck = Frame(0xC1, 7, {0x00, 0x00, 0x12, 0x34});
    const std::vector<ReceiveCase> cases = {
        {"valid", good, kStatusOk},
        {"silence", {}, kStatusNoReply},
        {"bad start byte", Corrupt(good, 0, 0xAB), kStatusBadStart},
        {"other command", Corrupt(good, 1, 0xC2), kStatusBadCommand},
        {"other selector", Corrupt(good, 2, 8), kStatusBadSelector},
        {"word count 2", WithBody(0xC1, 7, 2, {0xAA, 0x55}), kStatusBadLength},
        {"word count 129", WithBody(0xC1, 7, 129, {0xAA, 0x55}), kStatusBadLength},
        {"half a frame", Bytes(good.begin(), good.begin() + 7), kStatusIncomplete},
        {"checksum off", Corrupt(good, good.size() - 1, 0x00), kStatusBadChecksum},
        {"trailing bytes", Append(good, {0x00, 0x00}), kStatusTrailingBytes},
        {"no acknowledgement", noAck, kStatusNoAck},
        {"checksum off and no acknowledgement", Corrupt(noAck, noAck.size() - 1, 0), kStatusNoAck},
        {"trailing bytes and no acknowledgement", Append(noAck, {0x01}), kStatusNoAck},
        {"word count 3 puts the checksum where the acknowledgement goes", Frame(0xC1, 7, {}),
         kStatusNoAck},
        {"word count 2 without acknowledgement", WithBody(0xC1, 7, 2, {0x00, 0x00}), kStatusNoAck},
    };
    for (const ReceiveCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLink s;
        s.open();
        s.port->scriptAlways(c.reply);
        EXPECT_EQ(s.link.SendCommand(0xC1, 7, 0, 0), c.status);
    }
}

TEST(ReceiveReply, ShortReplyNeverBorrowsAnEarlierAcknowledgement) {
    ScriptedLink s;
    s.open();
    // The probe reply left 0xAA 0x55 at bytes 4 and 5 of the receive buffer.
    s.port->scriptAlways(Bytes{0xAB, 0xCF, 0x00});
    EXPECT_EQ(s.link.SendCommand(0xCF, 0, 0, 0), kStatusNoAck);
}

TEST(ReceiveReply, ParsesIncrementallyAcrossReadsAndPauses) {
    ScriptedLink s;
    s.open();
    const Bytes good = AckReply(0xC1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    // Pieces 3 ms apart: each ends a read, the frame is still put together.
    s.port->script(ScriptedPort::Reply{{Bytes(good.begin(), good.begin() + 3), 0},
                                       {Bytes(good.begin() + 3, good.begin() + 11), 3000},
                                       {Bytes(good.begin() + 11, good.end()), 3000}});
    const uint32_t t0 = s.clock.tickMs();
    EXPECT_EQ(s.link.SendCommand(0xC1, 1, 0, 500), kStatusOk);
    EXPECT_LT(s.clock.tickMs() - t0, 20u) << "accepted as soon as the last byte is in";
    EXPECT_EQ(s.link.replyWord(9), 10);
}

TEST(ReceiveReply, EndlessStreamNeverOverrunsTheBuffer) {
    ScriptedLink s;
    s.open();
    s.port->scriptAlways(Bytes(5000, 0x55));
    EXPECT_EQ(s.link.SendCommand(0xC1, 1, 0, 0), kStatusNoAck);
    EXPECT_LE(s.link.rxCount(), kRxFrameBytes);
}

TEST(SendCommand, ZeroBudgetMakesTwoAttemptsOnSilenceAndOneOnAnAnswer) {
    ScriptedLink s;
    s.open();
    const std::size_t before = s.port->requests().size();
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 0), kStatusNoReply);
    EXPECT_EQ(s.port->requests().size() - before, 2u);

    s.port->script(AckReply(0xC0, 0));
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 0), kStatusOk);
    EXPECT_EQ(s.port->requests().size() - before, 3u);
}

TEST(SendCommand, BudgetSpentOnlyWhenStrictlyExceededAndLastAttemptStillMade) {
    ScriptedLink s;
    s.open();
    const std::size_t before = s.port->requests().size();
    const uint32_t t0 = s.clock.tickMs();
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 500), kStatusNoReply);
    const uint32_t took = s.clock.tickMs() - t0;
    EXPECT_EQ(s.port->requests().size() - before, 2u);
    // Each attempt waits out its 500 ms plus the read that runs over it.
    EXPECT_GT(took, 1000u);
    EXPECT_LT(took, 1500u);
}

TEST(SendCommand, CorruptReplyCostsTheWholeAttemptThenRetrySucceeds) {
    ScriptedLink s;
    s.open();
    Bytes bad = AckReply(0xC1, 2, {0x0BAD});
    bad.back() ^= 0xFF;
    s.port->script(bad);
    s.port->script(AckReply(0xC1, 2, {0x600D}));
    const uint32_t t0 = s.clock.tickMs();
    EXPECT_EQ(s.link.SendCommand(0xC1, 2, 0, 2000), kStatusOk);
    EXPECT_GE(s.clock.tickMs() - t0, 500u);
    EXPECT_EQ(s.link.replyWord(0), 0x600D);
}

// A drive that adds bytes to its replies is asked again only after each attempt's whole
// time: the 1000 ms probe, or the 1000 ms store operation, makes three attempts.
TEST(SendCommand, TrailingBytesCostTheWholeAttempt) {
    for (const bool store : {false, true}) {
        SimLink s;
        s.drive->addFault(
            {sim::Fault::TrailingBytes, store ? 0xC1 : 0xCF, store ? 0x16 : -1, -1, 0, 100});
        EXPECT_FALSE(s.open() && SaveParamsToEeprom(s.link) == kStatusOk);
        const auto log = s.drive->requestLog();
        EXPECT_EQ(std::count_if(log.begin(), log.end(),
                                [&](const auto& f) {
                                    return store ? f[1] == 0xC1 && f[5] == 0x16 : f[1] == 0xCF;
                                }),
                  3)
            << store;
    }
}

TEST(SendCommand, ShortWriteAddsSixteen) {
    ScriptedLink s;
    s.open();
    s.port->shortenWrites(3);
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 0), kStatusShortWrite + kStatusNoReply);
    s.port->script(AckReply(0xC0, 0));
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 0), kStatusShortWrite);
}

TEST(SendCommand, WithoutAnOpenPortWritesComeUpShortAndNothingArrives) {
    SharedState state;
    VirtualClock clock;
    DriveLink link(state.link, clock, nullptr);
    EXPECT_EQ(link.SendCommand(0xCF, 0, 0, 500), kStatusShortWrite + kStatusNoReply);
}

// A port that let go of its device (a pulled cable) on its own: the request waits out
// its budget without a byte on the wire, and the link no longer counts the port open.
TEST(SendCommand, APortThatLetGoOfItsDeviceWaitsAndClosesTheLink) {
    ScriptedLink s;
    s.open();
    ASSERT_EQ(s.state.link.portOpen, 1u);
    s.port->close();
    const std::size_t before = s.port->writes().size();
    const uint32_t t0 = s.clock.tickMs();
    EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, 500), kStatusShortWrite + kStatusNoReply);
    EXPECT_GT(s.clock.tickMs() - t0, 1000u);
    EXPECT_EQ(s.port->writes().size(), before);
    EXPECT_EQ(s.state.link.portOpen, 0u);
}

TEST(SyncLine, SendsTheBurstThenKeepsTheLineQuietForThirtyMs) {
    ScriptedLink s;
    s.open();
    const std::size_t before = s.port->writes().size();
    const int purges = s.port->purges();
    const uint64_t t0 = s.clock.nowUs();
    s.link.SyncLine();
    ASSERT_EQ(s.port->writes().size(), before + 1);
    EXPECT_EQ(s.port->writes().back(), Bytes(255, 0x01));
    EXPECT_EQ(s.port->purges(), purges + 1);
    EXPECT_GE(s.clock.nowUs() - t0, 30'000u);
    EXPECT_LT(s.clock.nowUs() - t0, 32'000u);

    // On a line that carries the burst at 115200 baud 8O2 (26.6 ms), the quiet follows
    // its last byte.
    VirtualClock clock;
    SharedState state;
    RecordingMessageSink messages;
    DriveLink paced(state.link, clock, [&](const std::string&) {
        return std::make_unique<sim::SimPort>(std::make_shared<sim::SimDrive>(), clock, true);
    });
    ASSERT_EQ(paced.OpenDrivePort(messages, 1), 1);
    const uint64_t t1 = clock.nowUs();
    paced.SyncLine();
    EXPECT_GE(clock.nowUs() - t1, 56'562u);
    EXPECT_LT(clock.nowUs() - t1, 58'000u);
}

}  // namespace
}  // namespace qx::test
