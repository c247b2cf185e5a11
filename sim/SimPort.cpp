#include "sim/SimPort.h"

#include <algorithm>

#include "sim/WireTiming.h"

namespace qx::sim {

SimPort::SimPort(std::shared_ptr<SimDrive> drive, Clock& clock, bool paceBytes)
    : drive_(std::move(drive)), clock_(clock), pace_(paceBytes) {}

OpenResult SimPort::open() {
    if (failOpen_ != OpenResult::Ok) {
        const OpenResult r = failOpen_;
        failOpen_ = OpenResult::Ok;
        return r;
    }
    open_ = true;
    incoming_.clear();
    assembler_.reset();
    return OpenResult::Ok;
}

bool SimPort::configure(const LineSettings&) {
    return open_ && !failConfigure_;
}

bool SimPort::setQueueSizes(std::size_t, std::size_t) {
    return open_;
}

bool SimPort::purge() {
    // Bytes still on their way from the drive keep coming; only what already arrived
    // is discarded.
    const uint64_t now = clock_.nowUs();
    while (!incoming_.empty() && incoming_.front().dueUs <= now) {
        incoming_.pop_front();
    }
    return open_;
}

bool SimPort::setTimeouts(const PortTimeouts& timeouts) {
    timeouts_ = timeouts;
    return open_;
}

std::size_t SimPort::write(const uint8_t* data, std::size_t bytes) {
    if (!open_) {
        return 0;
    }
    const std::size_t n = std::min(bytes, shortWrite_);
    shortWrite_ = SIZE_MAX;
    const uint64_t now = clock_.nowUs();
    const uint64_t txStart = pace_ ? std::max(now, txFreeUs_) : now;
    for (std::size_t k = 0; k < n; ++k) {
        if (!assembler_.feed(data[k])) {
            continue;
        }
        const uint64_t arrived = pace_ ? txStart + WireTimeUs(k + 1) : now;
        const Frame reply = drive_->handleRequest(assembler_.frame(), arrived);
        assembler_.reset();
        const uint64_t rxStart = pace_ ? std::max(arrived, rxFreeUs_) : arrived;
        for (std::size_t j = 0; j < reply.size(); ++j) {
            incoming_.push_back({reply[j], pace_ ? rxStart + WireTimeUs(j + 1) : rxStart});
        }
        if (pace_ && !reply.empty()) {
            rxFreeUs_ = rxStart + WireTimeUs(reply.size());
        }
    }
    if (pace_) {
        txFreeUs_ = txStart + WireTimeUs(n);
    }
    return n;
}

std::size_t SimPort::read(uint8_t* buffer, std::size_t maxBytes) {
    if (!open_ || maxBytes == 0) {
        return 0;
    }
    const uint64_t now = clock_.nowUs();
    const uint64_t deadline =
        now + 1000ull * (timeouts_.readTotalConstantMs +
                         timeouts_.readTotalPerByteMs * static_cast<uint64_t>(maxBytes));
    const uint64_t interval = 1000ull * timeouts_.readIntervalMs;

    // The read ends when the buffer is full, when the line stays silent for the interval
    // after a byte, or at the deadline; work out which comes first from the due times.
    std::size_t got = 0;
    uint64_t lastDue = 0;
    for (const Pending& p : incoming_) {
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
        end = lastDue;
    } else if (got > 0) {
        end = std::min(deadline, lastDue + interval);
    }
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(got));
    clock_.sleepUntilUs(end);
    return got;
}

void SimPort::close() {
    open_ = false;
    incoming_.clear();
    assembler_.reset();
}

}  // namespace qx::sim
