// The frame link: every receive status, the retry loop and its time budget, the sync burst.
// (Request frames: the simulated drive checks their length and checksum in every transcript,
// where replies arrive at the line's pace, a few bytes a read.)

#include <gtest/gtest.h>

#include <sstream>

#include "link/DriveCommands.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Hex bytes; "00*248" stands for 248 of them.
Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    for (std::string b; in >> b;) {
        const int n = b.size() > 2 ? std::stoi(b.substr(3)) : 1;
        out.insert(out.end(), n, static_cast<uint8_t>(std::stoi(b.substr(0, 2), nullptr, 16)));
    }
    return out;
}

// Each reply meets a request C1, selector 7, after an acknowledged probe reply; none
// goes beyond the receive buffer.
TEST(ReceiveReply, EveryStatusCode) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"AA C1 07 05 AA 55 12 34 02 BC", kStatusOk},
        {"", kStatusNoReply},
        {"AB C1 07 05 AA 55 12 34 02 BC", kStatusBadStart},
        {"AA C2 07 05 AA 55 12 34 02 BC", kStatusBadCommand},
        {"AA C1 08 05 AA 55 12 34 02 BC", kStatusBadSelector},
        {"AA C1 07 02 AA 55 02 73", kStatusBadLength},
        {"AA C1 07 81 AA 55 02 F2", kStatusBadLength},
        {"AA C1 07 80 AA 55 00*248 02 F1", kStatusOk},  // 256 bytes, the longest
        {"AA C1 07 05 AA 55 12", kStatusIncomplete},
        {"AA C1 07 05 AA 55 12 34 02 00", kStatusBadChecksum},
        {"AA C1 07 05 AA 55 12 34 00 BC", kStatusBadChecksum},
        {"AA C1 07 05 AA 55 12 34 02 BC 00 00", kStatusTrailingBytes},
        {"AA C1 07 05 00 00 12 34 01 BD", kStatusNoAck},
        {"AA C1 07 05 AA 00 12 34 02 67", kStatusNoAck},
        {"AA C1 07 05 00 00 12 34 01 00", kStatusNoAck},     // and a bad checksum
        {"AA C1 07 05 00 00 12 34 01 BD 01", kStatusNoAck},  // and trailing bytes
        {"AA C1 07 03 01 75", kStatusNoAck},        // the checksum where the acknowledgement goes
        {"AA C1 07 02 00 00 01 74", kStatusNoAck},  // and a bad word count
        {"AB C1 07", kStatusNoAck},  // too short: the probe's acknowledgement is no answer
        {"55*5000", kStatusNoAck},
    };
    for (const auto& [reply, status] : cases) {
        ScriptedLink s;
        s.open();
        s.port->scriptAlways(Hex(reply));
        EXPECT_EQ(s.link.SendCommand(0xC1, 7, 0, 0), status) << reply;
        EXPECT_LE(s.link.rxCount(), kRxFrameBytes) << reply;
    }
}

// Attempts go on until more than the budget has passed; the attempt that finds it spent
// is still made. A corrupt reply, trailing bytes included, costs its attempt the whole
// receive budget (a drive that always adds bytes is not asked again at once). An attempt
// lasts from 500 ms to 500 ms and two reads of at most 178 ms.
TEST(SendCommand, AttemptsStatusAndTimeWithinTheBudget) {
    const char* good = "AA C0 00 04 AA 55 02 6D";
    const struct {
        const char* first;   // the reply to the first request
        const char* always;  // to every later one
        std::size_t writeLimit;
        bool portGone;  // the port let go of its device (a pulled cable)
        uint32_t budgetMs, status;
        std::size_t attempts;
        uint32_t minMs, maxMs;
    } cases[] = {
        {"", "", 0, false, 0, kStatusNoReply, 2, 1000, 1712},
        {"", "", 0, false, 500, kStatusNoReply, 2, 1001, 1712},
        {"AA C0 00 04 AA 55 02 00", good, 0, false, 2000, kStatusOk, 2, 500, 856},
        {"", "AA C0 00 04 AA 55 02 6D 00 00", 0, false, 1000, kStatusTrailingBytes, 3, 1500, 2568},
        {"", "", 3, false, 0, kStatusShortWrite + kStatusNoReply, 2, 1000, 1712},
        {good, "", 3, false, 0, kStatusShortWrite, 1, 0, 20},
        {"", "", 0, true, 500, kStatusShortWrite + kStatusNoReply, 0, 1001, 1712},
    };
    for (const auto& c : cases) {
        ScriptedLink s;
        s.open();
        s.port->script(Hex(c.first));
        s.port->scriptAlways(Hex(c.always));
        s.port->shortenWrites(c.writeLimit == 0 ? SIZE_MAX : c.writeLimit);
        if (c.portGone) {
            s.port->close();
        }
        const std::size_t before = s.port->writes().size();
        const uint32_t t0 = s.clock.tickMs();
        EXPECT_EQ(s.link.SendCommand(0xC0, 0, 0, c.budgetMs), c.status) << c.first << c.always;
        const uint32_t took = s.clock.tickMs() - t0;
        EXPECT_EQ(s.port->writes().size() - before, c.attempts) << c.first << c.always;
        EXPECT_GE(took, c.minMs);
        EXPECT_LE(took, c.maxMs);
        EXPECT_EQ(s.state.link.portOpen, c.portGone ? 0u : 1u) << "a pulled cable closes the port";
    }
    // No port ever opened: writes come up short and nothing arrives.
    SharedState state;
    VirtualClock clock;
    DriveLink link(state.link, clock, nullptr);
    EXPECT_EQ(Session(link).open(), kStatusShortWrite + kStatusNoReply);
}

// The burst at 115200 baud 8O2 takes 26.6 ms on the line; 30 ms of quiet follow it.
TEST(SyncLine, SendsTheBurstThenKeepsTheLineQuietForThirtyMs) {
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
