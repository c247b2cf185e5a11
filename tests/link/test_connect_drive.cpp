// Opening a COM port, identifying the drive, and the requests beyond what the whole
// exchanges of tests/transcripts show: refusals, failed openings, short reads.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Box = RecordingMessageSink::Box;
using Texts = std::vector<std::string>;

// Each failure names the port (any number but 2 to 4 is COM1), clears the flags an
// earlier port left and closes the port it opened.
TEST(OpenDrivePort, FailuresNameThePortAndLeaveNothingOpen) {
    const struct {
        int port;
        OpenResult open;
        bool configures;
        const char* box;
    } cases[] = {{5, OpenResult::Busy, true, "Create COM1 Fails!"},
                 {-3, OpenResult::Failed, true, "Create COM1 Fails!"},
                 {2, OpenResult::NotFound, true, "Create COM2 Fails!"},
                 {4, OpenResult::Ok, false, "Setup COM4 Fails!"},
                 {3, OpenResult::Ok, true, "No Servo connected with COM3!"}};
    for (const auto& c : cases) {
        ScriptedLink s;
        s.state.link.portOpen = 1;
        s.state.link.driveConnected = 1;
        DriveLink link(s.state.link, s.clock, [&](const std::string&) {
            auto p = std::make_unique<ScriptedPort>(s.clock);
            p->openResult = c.open;
            p->configureOk_ = c.configures;
            p->closedFlag = &s.lastPortClosed;
            return p;
        });
        EXPECT_EQ(link.OpenDrivePort(s.messages, c.port), 0);
        EXPECT_EQ(s.messages.boxes(), (std::vector<Box>{{c.box, "Warning"}}));
        EXPECT_EQ(s.state.link.portOpen + s.state.link.driveConnected, 0u) << c.box;
        EXPECT_TRUE(s.lastPortClosed) << c.box;
    }
}

// The same port again is closed, reopened and probed again; a failed switch to another
// keeps what the last identification read.
TEST(OpenDrivePort, SwitchingPorts) {
    SimLink s;
    ASSERT_EQ(ChooseComPort(s.link, s.state.identity, s.messages, 1), 1);
    s.drive->clearRequestLog();
    ASSERT_TRUE(s.open(1));
    EXPECT_EQ(s.drive->requestLog().size(), 1u) << "the probe";
    s.drive->addFault({sim::Fault::Silence, -1, -1, -1, 0, -1});
    EXPECT_EQ(ChooseComPort(s.link, s.state.identity, s.messages, 2), 0);
    EXPECT_EQ(std::tuple(s.state.link.portOpen + s.state.link.driveConnected,
                         s.state.identity.versionAccepted.load(), s.state.identity.softwareVersion),
              std::tuple(0u, 1u, 913u));
}

// What identification leaves: its result and box, the flags, the versions, the sample rate and
// time unit, the passes that got past the session opening, and whether it took the whole limit.
TEST(ConnectDrive, OutcomesAndWhatTheyLeave) {
    const sim::FaultRule fpgaNoAck{sim::Fault::NoAck, 0xC1, 0x0091, 0x0000, 0, -1};
    const struct {
        uint16_t software;
        const sim::FaultRule* fault;
        uint64_t awayUs;
        const char* outcome;
    } cases[] = {
        {1004, nullptr, 0,
         "0 Quendrix mismatchs the servo! accepted 0 connected 0 versions "
         "101/1004/258 0 Hz 0 ms, 1 pass"},
        // The versions read before the failing FPGA read stay.
        {913, &fpgaNoAck, 0,
         "0 Quendrix mismatchs the servo! accepted 1 connected 0 versions "
         "101/913/0 4000 Hz 1 ms, 2 passes, 3 s"},
        {913, nullptr, 1'500'000,  // a drive that comes back within the limit
         "1 Connectting with servo succeeds! accepted 1 connected 1 "
         "versions 101/913/258 4000 Hz 1 ms, 1 pass"},
    };
    for (const auto& c : cases) {
        SimLink s;
        s.drive->setVersions({c.software, 0x0065, 0x0102});
        ASSERT_TRUE(s.open());
        s.drive->clearRequestLog();
        if (c.fault) {
            s.drive->addFault(*c.fault);
        }
        s.drive->goAwayFor(c.awayUs);
        const uint32_t t0 = s.clock.tickMs();
        const int result = ConnectDrive(s.link, s.state.identity, s.messages);
        const DriveIdentity& id = s.state.identity;
        int passes = 0;
        for (const auto& f : s.drive->requestLog()) {
            passes += f[1] == 0xC1 && f[5] == 0x1A ? 1 : 0;
        }
        std::ostringstream o;
        o << result << " " << s.messages.texts().at(0) << " accepted " << id.versionAccepted
          << " connected " << s.state.link.driveConnected << " versions " << id.bootRomVersion
          << "/" << id.softwareVersion << "/" << id.fpgaVersion << " " << id.baseSampleRateHz
          << " Hz " << id.msPerTick << " ms, " << passes << " pass" << (passes > 1 ? "es" : "")
          << (s.clock.tickMs() - t0 >= kConnectLimitMs ? ", 3 s" : "");
        EXPECT_EQ(o.str(), c.outcome);
    }
    std::string supported;
    for (uint32_t v : {0u, 402u, 403u, 404u, 703u, 813u, 913u, 1000u, 1003u, 1004u, 2003u, 2004u,
                       3003u, 4003u, 5003u}) {
        supported += IsSupportedSoftwareVersion(v) ? std::to_string(v) + " " : "";
    }
    EXPECT_EQ(supported, "403 703 813 913 1003 2003 3003 4003 ");
}

// A read must carry exactly the words asked for (else the caller reads stale bytes of
// an earlier reply); what one frame cannot carry is refused with nothing sent. (A failed
// reset ending a session's opening: transcripts/match_fail_10_reset.txt.)
TEST(Requests, RefusedShortAndFailed) {
    ScriptedLink s;
    s.open();
    DriveLink& l = s.link;
    s.port->script(AckReply(0xC1, 2, {0x0001}));
    EXPECT_EQ(ReadWords(l, 2, 0x0400, 4, 2000), kStatusWrongDataLength);
    s.port->script(AckReply(0xC1, 2, {1, 2, 3, 4, 5}));
    EXPECT_EQ(ReadWords(l, 2, 0x0400, 4, 2000), kStatusWrongDataLength);
    s.port->script(AckReply(0xC1, 1, std::vector<uint16_t>(120, 7)));
    EXPECT_EQ(ReadWords(l, 1, 0x200, 120, 0), kStatusOk);
    s.port->scriptAlways(Frame(0xC1, 2, {0, 0}));
    EXPECT_EQ(ReadWords(l, 2, 0x0400, 4, 0), kStatusNoAck) << "keeps its own status";

    const std::vector<uint16_t> w(61);
    const std::vector<uint8_t> b(122);
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
}

}  // namespace
}  // namespace qx::test
