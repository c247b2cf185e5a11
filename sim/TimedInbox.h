#pragma once

#include <cstdint>
#include <deque>

#include "link/Clock.h"
#include "link/SerialPort.h"

namespace qx::sim {

// Bytes on their way to the PC, each with the instant it arrives. Reading follows the
// serial driver's rules: the read ends when the buffer is full, when the line has been
// silent for the interval after a byte, or at the total deadline; the caller's clock
// sleeps until that instant, so with a VirtualClock the wait costs nothing.
class TimedInbox {
  public:
    void push(uint8_t byte, uint64_t dueUs) { bytes_.push_back({byte, dueUs}); }
    // Drops what has already arrived; bytes still on the wire keep coming.
    void dropArrived(uint64_t nowUs);
    void clear() { bytes_.clear(); }
    bool empty() const { return bytes_.empty(); }
    std::size_t read(uint8_t* buffer, std::size_t maxBytes, const PortTimeouts& timeouts,
                     Clock& clock);
    // What has arrived by now, without waiting.
    std::size_t readArrived(uint8_t* buffer, std::size_t maxBytes, uint64_t nowUs);

    // Even a read whose bytes are all there takes a little time, so a caller that
    // retries immediate answers still sees its clock move.
    static constexpr uint64_t kMinReadUs = 100;

  private:
    struct Pending {
        uint8_t byte;
        uint64_t dueUs;
    };
    std::deque<Pending> bytes_;
};

}  // namespace qx::sim
