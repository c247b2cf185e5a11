// One status poll on the wire: its session, its selector, the reply bytes each field
// comes from, and what a failed or short poll leaves behind.

#include <gtest/gtest.h>

#include "link/DriveCommands.h"
#include "monitor/StatusPoll.h"
#include "sim/DriveStatusModel.h"
#include "sim/MonitorFeatures.h"
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

StatusWords ExpectedWords() {
    StatusWords w;
    w.torqueRaw = 0xFF80;
    w.speedRaw = 0xFFFD;
    w.positionFeedback = 100000;
    w.alarmWord = 0x0107;
    w.torqueCommandRaw = 0x00C0;
    w.speedCommandRaw = 0x000A;
    w.positionCommand = 0xFFFFFFF6;
    w.phaseBits = 0x002A;
    w.inputBits = 0x0201;
    w.outputBits = 0x0016;
    w.dcBusVolts = 310;
    return w;
}

// A link past its probe, with the requests of the poll still to come.
struct PollLink : ScriptedLink {
    PollLink() {
        open();
        writesBefore = port->writes().size();
        requestsBefore = port->requests().size();
    }
    std::vector<Bytes> pollRequests() const {
        const auto all = port->requests();
        return {all.begin() + static_cast<long>(requestsBefore), all.end()};
    }
    std::size_t writesBefore = 0;
    std::size_t requestsBefore = 0;
};

TEST(StatusPoll, OpensItsOwnSessionAndPollsWithSelectorOne) {
    PollLink s;
    s.port->script(AckReply(0xCF, 0));
    s.port->script(AckReply(0xC0, 0));
    s.port->script(StatusReply());
    ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);

    const auto writes = s.port->writes();
    ASSERT_GT(writes.size(), s.writesBefore);
    EXPECT_EQ(writes[s.writesBefore], Bytes(255, 0x01)) << "the sync burst comes first";
    EXPECT_EQ(s.pollRequests(), (std::vector<Bytes>{{0xAA, 0xCF, 0x00, 0x03, 0x01, 0x7C},
                                                    {0xAA, 0xC0, 0x00, 0x03, 0x01, 0x6D},
                                                    {0xAA, 0xC2, 0x01, 0x03, 0x01, 0x70}}));
    EXPECT_EQ(LoadStatusWords(s.state.driveStatus), ExpectedWords());
    EXPECT_EQ(s.state.link.driveConnected, 1u);
}

TEST(StatusPoll, DecodesEachFieldFromItsBytes) {
    EXPECT_EQ(DecodeStatusReply(StatusReply()), ExpectedWords());
}

TEST(StatusPoll, AFailedStepEndsThePollAndKeepsTheFields) {
    struct Case {
        const char* name;
        std::vector<Bytes> replies;  // then silence
        std::size_t requests;        // that reach the drive (a silent one is sent twice)
    };
    const std::vector<Case> cases = {
        {"reset", {}, 2},
        {"connection set-up", {AckReply(0xCF, 0)}, 3},
        {"poll", {AckReply(0xCF, 0), AckReply(0xC0, 0)}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PollLink s;
        StatusWords before = ExpectedWords();
        StoreStatusWords(s.state.driveStatus, before);
        for (const Bytes& r : c.replies) {
            s.port->script(r);
        }
        EXPECT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusNoReply);
        EXPECT_EQ(s.pollRequests().size(), c.requests);
        EXPECT_EQ(s.state.link.driveConnected, 0u);
        EXPECT_EQ(LoadStatusWords(s.state.driveStatus), before);
    }
}

TEST(StatusPoll, AnUnacknowledgedPollIsAFailure) {
    PollLink s;
    s.port->script(AckReply(0xCF, 0));
    s.port->script(AckReply(0xC0, 0));
    s.port->script(Frame(0xC2, 1, {0x00, 0x00}));  // "still busy", then silence
    EXPECT_NE(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
    EXPECT_EQ(s.state.link.driveConnected, 0u);
}

TEST(StatusPoll, ARequestKeepsToItsWorstCaseAgainstADriveBusyThenGarbled) {
    // The drive refuses the poll at once ("busy") until the budget is nearly spent, then
    // garbles its replies: every attempt from then on waits out its full receive time.
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

TEST(StatusPoll, AShortAcknowledgedReplyIsNotTakenForAStatus) {
    PollLink s;
    // A full reply first, so its bytes are still in the frame buffer...
    s.port->script(AckReply(0xCF, 0));
    s.port->script(AckReply(0xC0, 0));
    s.port->script(StatusReply());
    ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
    StatusWords zero;
    StoreStatusWords(s.state.driveStatus, zero);

    // ...then one that acknowledges without the status fields.
    s.port->script(AckReply(0xCF, 0));
    s.port->script(AckReply(0xC0, 0));
    s.port->script(AckReply(0xC2, 1, {0x0000, 0x1111}));
    EXPECT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusWrongDataLength);
    EXPECT_EQ(LoadStatusWords(s.state.driveStatus), zero) << "stale bytes must not show";
    EXPECT_EQ(s.state.link.driveConnected, 0u);
}

TEST(StatusPoll, TheSimulatedDriveReportsItsSettings) {
    SimLink s;
    sim::DriveStatusSettings settings;
    settings.alarmNumber = 7;
    settings.dcBusVolts = 540;
    settings.inputBits = 0x0201;
    settings.outputBits = 0x0012;
    settings.phaseBits = 0x0021;
    auto model = sim::InstallMonitorFeatures(*s.drive, settings, s.clock.nowUs());
    ASSERT_TRUE(s.open());
    ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
    const StatusWords w = LoadStatusWords(s.state.driveStatus);
    EXPECT_EQ(w.alarmWord, 0x0107u);
    EXPECT_EQ(w.dcBusVolts, 540u);
    EXPECT_EQ(w.inputBits, 0x0201u);
    EXPECT_EQ(w.outputBits, 0x0012u);
    EXPECT_EQ(w.phaseBits, 0x0021u);

    model->setAlarm(0);
    model->setDcBusVolts(300);
    ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
    EXPECT_EQ(s.state.driveStatus.alarmWord, 0u);
    EXPECT_EQ(s.state.driveStatus.dcBusVolts, 300u);
}

}  // namespace
}  // namespace qx::test
