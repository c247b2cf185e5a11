#pragma once

// A connected link to a simulated drive that has its parameters, in virtual time, and
// views of the requests it received.

#include <cstdint>
#include <vector>

#include "link/ConnectDrive.h"
#include "sim/ParamFeatures.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

struct Request {
    uint8_t command = 0;
    uint8_t selector = 0;
    std::vector<uint8_t> payload;
};

inline std::vector<Request> Requests(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (const auto& f : drive.requestLog()) {
        out.push_back({f[1], f[2], std::vector<uint8_t>(f.begin() + 4, f.end() - 2)});
    }
    return out;
}

// Only the sub-command requests (command 0xC1).
inline std::vector<Request> SubRequests(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (Request& r : Requests(drive)) {
        if (r.command == 0xC1) {
            out.push_back(std::move(r));
        }
    }
    return out;
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

struct ParamSimLink : SimLink {
    explicit ParamSimLink(bool connect = true) {
        sim::InstallParameterFeatures(*drive);
        if (connect) {
            ChooseComPort(link, state.identity, messages, 1);
            messages.clear();
            drive->clearRequestLog();
        }
    }
    uint16_t word(uint32_t address) const { return drive->read(address); }
};

}  // namespace qx::test
