// The request vocabulary: every builder's payload byte for byte, the session opening
// and its selectors, and reads that must carry exactly the words asked for.

#include <gtest/gtest.h>

#include <functional>

#include "link/DriveCommands.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The payload of the last request (frame minus header and checksum).
Bytes LastPayload(const ScriptedLink& s) {
    const Bytes f = s.port->requests().back();
    return Bytes(f.begin() + 4, f.end() - 2);
}

TEST(Catalogue, EveryBuilderSendsItsPayloadExactly) {
    ScriptedLink s;
    s.open();
    auto check = [&](const char* name, uint8_t command, uint8_t selector, auto send,
                     const Bytes& payload) {
        SCOPED_TRACE(name);
        s.port->script(AckReply(command, selector));
        EXPECT_EQ(send(), kStatusOk);
        const Bytes f = s.port->requests().back();
        EXPECT_EQ(f[1], command);
        EXPECT_EQ(f[2], selector);
        EXPECT_EQ(f[3], (payload.size() + 6) / 2);
        EXPECT_EQ(LastPayload(s), payload);
    };
    DriveLink& l = s.link;
    check("reset", 0xCF, 0, [&] { return ResetRequest(l); }, {});
    check("connection set-up", 0xC0, 0, [&] { return ConnectionSetupRequest(l, 0); }, {});
    check("poll", 0xC2, 5, [&] { return PollRequest(l, 5); }, {});
    check("write words", 0xC1, 1,
          [&] {
              const uint16_t w[] = {0x0102, 0xFFFF};
              return WriteWords(l, 1, 0x0212, w, 500);
          },
          {0x00, 0x15, 0x02, 0x12, 0x00, 0x02, 0x01, 0x02, 0xFF, 0xFF});
    check("write block", 0xC1, 2,
          [&] {
              const uint8_t b[] = {0xAB, 0xCD, 0x12, 0x34};
              return WriteBlock(l, 2, 0x0200, b, 2000);
          },
          {0x00, 0x14, 0x02, 0x00, 0x00, 0x02, 0xAB, 0xCD, 0x12, 0x34});
    check("gather", 0xC1, 1,
          [&] {
              const uint32_t a[] = {0x003F7F79, 0x003EFFFE};
              return GatherWords(l, 1, a, 2000);
          },
          {0x00, 0x1A, 0x00, 0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00,
           0x00, 0x00, 0x00, 0x00, 0x3F, 0x7F, 0x79, 0x00, 0x00, 0x00, 0x3E, 0xFF, 0xFE});
    check("store", 0xC1, 12, [&] { return StoreOp(l, 12, 2); }, {0x00, 0x16, 0x00, 0x02});
    check("turn the motor", 0xC1, 1, [&] { return MotorTest(l, 1, MotorTestAction::Turn, 384, 1); },
          {0x00, 0x18, 0x00, 0x02, 0x01, 0x80, 0x00, 0x01});
    check("pole pair test", 0xC1, 1,
          [&] { return MotorTest(l, 1, MotorTestAction::PolePairTest, 256, 0); },
          {0x00, 0x18, 0x00, 0x03, 0x01, 0x00});
    check("servo off by motor test", 0xC1, 1,
          [&] { return MotorTest(l, 1, MotorTestAction::ServoOff, 0, 0); },
          {0x00, 0x18, 0x00, 0x05});
    check("servo control", 0xC1, 1, [&] { return ServoControl(l, 1, kServoOffWord); },
          {0x00, 0x11, 0x00, 0x50});
    check("capture set-up", 0xC1, 1,
          [&] {
              return CaptureSetup(l, 1, {0, 300, 128, 12800, 24000, 0x7FFFFFFF, 0x80000000});
          },
          {0x00, 0x10, 0x00, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x00, 0x80, 0x32,
           0x00, 0x5D, 0xC0, 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00});
    check("step test", 0xC1, 2,
          [&] {
              return StartStepTest(l, 2, {1, 1, 475, 512, 4});
          },
          {0x00, 0x12, 0x00, 0x01, 0x00, 0x01, 0x01, 0xDB, 0x02, 0x00, 0x00, 0x04});
    check("free capture", 0xC1, 2,
          [&] {
              return StartFreeCapture(l, 2, {0, static_cast<uint32_t>(-192), 1, 384, 1});
          },
          {0x00, 0x13, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x40, 0x00, 0x01, 0x01, 0x80, 0x00, 0x01});
}

TEST(Catalogue, ReadMustCarryExactlyTheWordsAskedFor) {
    ScriptedLink s;
    s.open();
    // Asked for four, got one: the other three would be stale bytes of an earlier reply.
    s.port->script(AckReply(0xC1, 2, {0x0001}));
    EXPECT_EQ(ReadWords(s.link, 2, 0x0400, 4, 2000), kStatusWrongDataLength);
    s.port->script(AckReply(0xC1, 2, {1, 2, 3, 4, 5}));
    EXPECT_EQ(ReadWords(s.link, 2, 0x0400, 4, 2000), kStatusWrongDataLength);
    s.port->script(AckReply(0xC1, 2, {1, 2, 3, 4}));
    EXPECT_EQ(ReadWords(s.link, 2, 0x0400, 4, 2000), kStatusOk);
    EXPECT_EQ(LastPayload(s), (Bytes{0x00, 0x91, 0x04, 0x00, 0x00, 0x04}));
    // An unacknowledged answer keeps its own status.
    s.port->scriptAlways(Frame(0xC1, 2, {0, 0}));
    EXPECT_EQ(ReadWords(s.link, 2, 0x0400, 4, 0), kStatusNoAck);
}

// What one frame cannot carry is refused with nothing sent; the largest that fits goes.
TEST(Catalogue, BuildersRefuseWhatAFrameCannotCarry) {
    ScriptedLink s;
    s.open();
    DriveLink& l = s.link;
    const std::vector<uint16_t> w(61);
    const Bytes b(122);
    const std::vector<uint32_t> a(19);
    const std::pair<bool, std::function<uint32_t()>> cases[] = {
        {true, [&] { return WriteWords(l, 1, 0x200, std::span(w).first(60), 0); }},
        {false, [&] { return WriteWords(l, 1, 0x200, w, 0); }},
        {true, [&] { return WriteBlock(l, 1, 0x200, std::span(b).first(120), 0); }},
        {false, [&] { return WriteBlock(l, 1, 0x200, std::span(b).first(119), 0); }},
        {false, [&] { return WriteBlock(l, 1, 0x200, b, 0); }},
        {true, [&] { return GatherWords(l, 1, std::span(a).first(18), 0); }},
        {false, [&] { return GatherWords(l, 1, a, 0); }},
        {false, [&] { return ReadWords(l, 1, 0x200, 121, 0); }},
    };
    s.port->scriptAlways(AckReply(0xC1, 1));
    for (const auto& [sent, send] : cases) {
        const std::size_t before = s.port->writes().size();
        EXPECT_EQ(send(), sent ? kStatusOk : kStatusRequestRefused);
        EXPECT_EQ(s.port->writes().size() - before, sent ? 1u : 0u);
    }
    s.port->script(AckReply(0xC1, 1, std::vector<uint16_t>(120, 7)));
    EXPECT_EQ(ReadWords(l, 1, 0x200, 120, 0), kStatusOk);
}

TEST(Session, OpeningThenSelectorsCountFromOneAndWrap) {
    SimLink s;
    ASSERT_TRUE(s.open());
    s.drive->clearRequestLog();
    Session session(s.link);
    ASSERT_EQ(session.open(), kStatusOk);
    for (int k = 0; k < 300; ++k) {
        ASSERT_EQ(PollRequest(s.link, session.next()), kStatusOk);
    }
    const auto log = s.drive->requestLog();
    ASSERT_EQ(log.size(), 302u);
    EXPECT_EQ(log[0][1], 0xCF);
    EXPECT_EQ(log[0][2], 0);
    EXPECT_EQ(log[1][1], 0xC0);
    EXPECT_EQ(log[1][2], 0);
    EXPECT_EQ(log[2][2], 1);
    EXPECT_EQ(log[256][2], 255);
    EXPECT_EQ(log[257][2], 0);
    EXPECT_EQ(log[258][2], 1);

    // A failed reset ends the opening: no set-up request follows.
    s.drive->clearRequestLog();
    s.drive->addFault({sim::Fault::Silence, 0xCF, -1, -1, 0, -1});
    EXPECT_EQ(session.open(), kStatusNoReply);
    for (const auto& f : s.drive->requestLog()) {
        EXPECT_EQ(f[1], 0xCF);
    }
}

}  // namespace
}  // namespace qx::test
