#pragma once

#include <memory>
#include <set>
#include <string>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "sim/SimDrive.h"
#include "sim/SimPort.h"
#include "tests/support/RecordingMessageSink.h"
#include "tests/support/ScriptedPort.h"

namespace qx::test {

// A link in virtual time, behind either the simulated drive or a scripted port.
// An acknowledged reply carrying `words`.
std::vector<uint8_t> AckReply(uint8_t command, uint8_t selector, std::vector<uint16_t> words = {});

struct SimLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    std::shared_ptr<sim::SimDrive> drive = std::make_shared<sim::SimDrive>();
    RecordingMessageSink messages;
    std::set<std::string> absentPorts;  // names whose device cannot be opened
    DriveLink link{state.link, clock,
                   [this](const std::string& name) -> std::unique_ptr<SerialPort> {
                       auto port = std::make_unique<sim::SimPort>(drive, clock);
                       if (absentPorts.count(name) != 0) {
                           port->failNextOpen(OpenResult::NotFound);
                       }
                       return port;
                   }};

    SimLink() { ApplyStartupValues(state); }
    bool open(int port = 1) { return link.OpenDrivePort(messages, port) == 1; }
};

struct ScriptedLink {
    VirtualClock clock{1'000'000};
    SharedState state;
    ScriptedPort* port = nullptr;                    // owned by the link once opened
    std::vector<std::vector<uint8_t>> firstReplies;  // scripted into each new port
    bool lastPortClosed = false;
    RecordingMessageSink messages;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       auto p = std::make_unique<ScriptedPort>(clock);
                       lastPortClosed = false;
                       p->closedFlag = &lastPortClosed;
                       for (const auto& r : firstReplies) {
                           p->script(r);
                       }
                       port = p.get();
                       return p;
                   }};

    ScriptedLink() { ApplyStartupValues(state); }
    // Opens the port past an answered probe, so tests start from a working link.
    void open() {
        firstReplies = {AckReply(0xCF, 0)};
        link.OpenDrivePort(messages, 1);
        firstReplies.clear();
    }
};

// A reply frame with a correct checksum: header, the given bytes after it.
std::vector<uint8_t> Frame(uint8_t command, uint8_t selector, std::vector<uint8_t> body);

}  // namespace qx::test
