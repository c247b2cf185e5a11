#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/SharedState.h"
#include "sim/SimDrive.h"

namespace qx::test {

// Once armed, the drive holds the monitor thread inside its next poll request until a
// stop has cleared monitorRun, then refuses that request while its budget lasts. So a
// stop always comes while a poll is under way, whatever the scheduler does.
struct PollHold {
    std::atomic<bool> armed{true};
    std::atomic<bool> held{false};
    std::atomic<std::size_t> atClear{0};  // the drive's request count when the stop came

    void install(sim::SimDrive& drive, const DriveStatus& status) {
        drive.setPollHandler(
            [this, &status, inner = drive.pollHandler()](sim::SimDrive& d, uint64_t us) {
                if (!armed) {
                    return inner(d, us);
                }
                if (!held.exchange(true)) {
                    while (status.monitorRun == 1) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                    atClear = d.requestLog().size();
                }
                return sim::Answer::NotAcknowledged();
            });
    }

    // Whether every request since the stop was the poll request under way, tried again.
    static bool OnlyThePollWentOn(const std::vector<std::vector<uint8_t>>& log, std::size_t from) {
        const std::vector<uint8_t> poll = {0xAA, 0xC2, 0x01, 0x03, 0x01, 0x70};
        for (std::size_t k = from; k < log.size(); ++k) {
            if (log[k] != poll) {
                return false;
            }
        }
        return log.size() > from;
    }
};

}  // namespace qx::test
