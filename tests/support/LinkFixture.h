#pragma once

#include <memory>
#include <string>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "sim/SimDrive.h"
#include "sim/SimPort.h"
#include "tests/support/RecordingMessageSink.h"
#include "tests/support/ScriptedPort.h"

namespace qx::test {

// An acknowledged reply carrying `words`.
std::vector<uint8_t> AckReply(uint8_t command, uint8_t selector, std::vector<uint16_t> words = {});

// A link in virtual time, behind the simulated drive or a scripted port.
struct SimLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive = std::make_shared<sim::SimDrive>();
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<sim::SimPort>(drive, clock);
                   }};

    SimLink() { ApplyStartupValues(state); }
    bool open(int port = 1) { return link.OpenDrivePort(messages, port) == 1; }
};

struct ScriptedLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    ScriptedPort* port = nullptr;  // owned by the link once opened
    bool answerProbe = false;      // each new port answers its probe
    bool lastPortClosed = false;
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       auto p = std::make_unique<ScriptedPort>(clock);
                       lastPortClosed = false;
                       p->closedFlag = &lastPortClosed;
                       if (answerProbe) {
                           p->script(AckReply(0xCF, 0));
                       }
                       port = p.get();
                       return p;
                   }};

    ScriptedLink() { ApplyStartupValues(state); }
    // Opens the port past an answered probe, so tests start from a working link.
    void open() {
        answerProbe = true;
        link.OpenDrivePort(messages, 1);
        answerProbe = false;
    }
};

// A reply frame with a correct checksum: header, the given bytes after it.
std::vector<uint8_t> Frame(uint8_t command, uint8_t selector, std::vector<uint8_t> body);

}  // namespace qx::test
