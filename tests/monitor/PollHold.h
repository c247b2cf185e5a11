#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "app/SharedState.h"
#include "sim/SimDrive.h"

namespace qx::test {

// Once armed, the drive holds the monitor thread inside its next poll request until a stop
// has cleared monitorRun, then refuses it: the stop comes while a poll is under way.
struct PollHold {
    std::atomic<bool> armed{true};
    std::atomic<bool> held{false};
    std::atomic<std::size_t> atClear{0};  // the drive's request count at the stop

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
};

}  // namespace qx::test
