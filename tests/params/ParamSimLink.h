#pragma once

// A connected link to a simulated drive that has its parameters, in virtual time.

#include <cstdint>
#include <tuple>
#include <vector>

#include "link/ConnectDrive.h"
#include "sim/ParamFeatures.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

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

    // Each sub-command request (command 0xC1) the drive received as its sub-command, word
    // address and, for a single word write, the word written.
    std::vector<std::tuple<int, int, int>> subRequests() const {
        std::vector<std::tuple<int, int, int>> out;
        for (const auto& f : drive->requestLog()) {
            if (f[1] == 0xC1) {
                out.emplace_back(f[4] << 8 | f[5], f[6] << 8 | f[7],
                                 f.size() == 14 ? f[10] << 8 | f[11] : -1);
            }
        }
        return out;
    }
};

}  // namespace qx::test
