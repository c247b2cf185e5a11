#include "sim/TimedInbox.h"

#include <algorithm>

namespace qx::sim {

void TimedInbox::dropArrived(uint64_t nowUs) {
    while (!bytes_.empty() && bytes_.front().dueUs <= nowUs) {
        bytes_.pop_front();
    }
}

std::size_t TimedInbox::read(uint8_t* buffer, std::size_t maxBytes, const PortTimeouts& t,
                             Clock& clock) {
    if (maxBytes == 0) {
        return 0;
    }
    const uint64_t now = clock.nowUs();
    const uint64_t deadline =
        now +
        1000ull * (t.readTotalConstantMs + t.readTotalPerByteMs * static_cast<uint64_t>(maxBytes));
    const uint64_t interval = 1000ull * t.readIntervalMs;

    std::size_t got = 0;
    uint64_t lastDue = 0;
    for (const Pending& p : bytes_) {
        const uint64_t due = std::max(p.dueUs, now);
        if (due > deadline || (got > 0 && due > lastDue + interval)) {
            break;
        }
        buffer[got++] = p.byte;
        lastDue = due;
        if (got == maxBytes) {
            break;
        }
    }
    uint64_t end = deadline;
    if (got == maxBytes) {
        end = std::max(lastDue, now + kMinReadUs);
    } else if (got > 0) {
        end = std::min(deadline, lastDue + interval);
    }
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(got));
    clock.sleepUntilUs(end);
    return got;
}

std::size_t TimedInbox::readArrived(uint8_t* buffer, std::size_t maxBytes, uint64_t nowUs) {
    std::size_t got = 0;
    while (got < maxBytes && !bytes_.empty() && bytes_.front().dueUs <= nowUs) {
        buffer[got++] = bytes_.front().byte;
        bytes_.pop_front();
    }
    return got;
}

}  // namespace qx::sim
