// One status poll beyond its wire transcript (tests/transcripts/poll.txt): the reply
// bytes each field comes from, what a failed or short poll leaves behind, and the
// longest a request of the poll can take.

#include <gtest/gtest.h>

#include "link/DriveCommands.h"
#include "monitor/StatusPoll.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A status reply whose fields all differ, so a field read from the wrong bytes shows.
Bytes StatusReply() {
    return AckReply(0xC2, 1,
                    {0xDEAD,          // reply bytes 6-7: not used
                     0xFF80,          // torque
                     0xFFFD,          // speed
                     0x0001, 0x86A0,  // position feedback 100000
                     0x0107,          // alarm
                     0x00C0,          // torque instruction
                     0x000A,          // speed instruction
                     0xFFFF, 0xFFF6,  // position instruction -10
                     0x002A,          // phases
                     0x0201,          // inputs
                     0x0016,          // outputs
                     0x0136});        // DC bus 310
}

const StatusWords kDecoded{0xFF80,     0xFFFD, 100000, 0x0107, 0x00C0, 0x000A,
                           0xFFFFFFF6, 0x002A, 0x0201, 0x0016, 310};

// The replies of one poll's session: reset, connection set-up, then `poll`.
void ScriptPoll(ScriptedLink& s, std::vector<Bytes> replies) {
    for (const Bytes& r : replies) {
        s.port->script(r);
    }
}

TEST(StatusPoll, EachFieldComesFromItsReplyBytes) {
    ScriptedLink s;
    s.open();
    ScriptPoll(s, {AckReply(0xCF, 0), AckReply(0xC0, 0), StatusReply()});
    ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
    EXPECT_EQ(LoadStatusWords(s.state.driveStatus), kDecoded);
    EXPECT_EQ(s.state.link.driveConnected, 1u);
}

// A failed step ends the poll: the connection counts as lost and the fields stay. A
// reply acknowledged but too short for the status must not pass the bytes of an
// earlier, longer reply off as the status.
TEST(StatusPoll, AFailedOrShortPollKeepsTheFields) {
    const struct {
        const char* name;
        std::vector<Bytes> replies;  // then silence
        std::size_t requests;        // that reach the drive (a silent one is sent twice)
        uint32_t status;
    } rows[] = {
        {"reset", {}, 2, kStatusNoReply},
        {"connection set-up", {AckReply(0xCF, 0)}, 3, kStatusNoReply},
        {"poll", {AckReply(0xCF, 0), AckReply(0xC0, 0)}, 4, kStatusNoReply},
        {"busy", {AckReply(0xCF, 0), AckReply(0xC0, 0), Frame(0xC2, 1, {0, 0})}, 5, kStatusNoReply},
        {"short",
         {AckReply(0xCF, 0), AckReply(0xC0, 0), AckReply(0xC2, 1, {0, 0x1111})},
         3,
         kStatusWrongDataLength},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedLink s;
        s.open();
        ScriptPoll(s, {AckReply(0xCF, 0), AckReply(0xC0, 0), StatusReply()});
        ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
        const StatusWords before{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        StoreStatusWords(s.state.driveStatus, before);
        const std::size_t sent = s.port->requests().size();
        ScriptPoll(s, row.replies);
        EXPECT_EQ(RunStatusPoll(s.link, s.state.driveStatus), row.status);
        EXPECT_EQ(s.port->requests().size() - sent, row.requests);
        EXPECT_EQ(s.state.link.driveConnected, 0u);
        EXPECT_EQ(LoadStatusWords(s.state.driveStatus), before);
    }
}

// The drive refuses the poll at once ("busy") until its budget is nearly spent, then
// garbles its replies: every attempt from then on waits out its full receive time. Even
// so the request ends within the longest a monitor's stop waits for.
TEST(StatusPoll, ARequestEndsWithinItsWorstCaseAgainstADriveBusyThenGarbled) {
    for (const sim::Fault garble : {sim::Fault::BadChecksum, sim::Fault::WrongEcho}) {
        SCOPED_TRACE(sim::FaultName(garble));
        SimLink s;
        ASSERT_TRUE(s.open());
        const uint64_t start = s.clock.nowUs();
        bool garbled = false;
        s.drive->setPollHandler([&](sim::SimDrive& d, uint64_t nowUs) {
            if (!garbled && nowUs >= start + 1000 * (kBudgetShortMs - 1)) {
                garbled = true;
                d.addFault({garble, 0xC2, -1, -1, 0, -1});
            }
            return sim::Answer::NotAcknowledged();
        });
        EXPECT_NE(PollRequest(s.link, kStatusPollSelector, kBudgetShortMs), kStatusOk);
        const uint64_t tookMs = (s.clock.nowUs() - start) / 1000;
        EXPECT_GT(tookMs, kBudgetShortMs + kReceiveBudgetMs) << "more than two receive times";
        EXPECT_LE(tookMs, kPollRequestWorstMs);
    }
}

}  // namespace
}  // namespace qx::test
