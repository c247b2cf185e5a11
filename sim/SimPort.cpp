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
    incoming_.dropArrived(clock_.nowUs());
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
            incoming_.push(reply[j], pace_ ? rxStart + WireTimeUs(j + 1) : rxStart);
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

bool SimPort::drain() {
    // Paced, the bytes leave at the wire's speed; otherwise they are gone at once.
    if (pace_) {
        clock_.sleepUntilUs(txFreeUs_);
    }
    return open_;
}

std::size_t SimPort::read(uint8_t* buffer, std::size_t maxBytes) {
    if (!open_) {
        return 0;
    }
    return incoming_.read(buffer, maxBytes, timeouts_, clock_);
}

std::size_t SimPort::readAvailable(uint8_t* buffer, std::size_t maxBytes) {
    return open_ ? incoming_.readArrived(buffer, maxBytes, clock_.nowUs()) : 0;
}

void SimPort::close() {
    open_ = false;
    incoming_.clear();
    assembler_.reset();
}

}  // namespace qx::sim
