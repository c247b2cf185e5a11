#pragma once

// A connected link to a simulated drive that has its parameters, in virtual time, and
// the sub-command requests (command 0xC1) it received.

#include <cstdint>
#include <vector>

#include "link/ConnectDrive.h"
#include "sim/ParamFeatures.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

struct Request {
    uint8_t selector = 0;
    std::vector<uint8_t> payload;
};

inline std::vector<Request> SubRequests(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (const auto& f : drive.requestLog()) {
        if (f[1] == 0xC1) {
            out.push_back({f[2], std::vector<uint8_t>(f.begin() + 4, f.end() - 2)});
        }
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
