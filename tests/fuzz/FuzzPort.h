#pragma once

// A port that hands the link whatever bytes a fuzzer made, cut into reads of sizes the
// fuzzer chose too (the same sizes say how much arrives right behind a frame).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/Clock.h"
#include "link/SerialPort.h"

namespace qx::fuzz {

// A failed check ends the fuzzer with the input that broke it.
inline void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

class FuzzPort final : public SerialPort {
  public:
    FuzzPort(Clock& clock, std::vector<uint8_t> stream, std::vector<uint8_t> cuts)
        : clock_(clock), stream_(std::move(stream)), cuts_(std::move(cuts)) {}

    OpenResult open() override {
        open_ = true;
        return OpenResult::Ok;
    }
    bool configure(const LineSettings&) override { return open_; }
    bool setQueueSizes(std::size_t, std::size_t) override { return open_; }
    bool purge() override { return open_; }
    bool setTimeouts(const PortTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return open_;
    }
    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override {
        if (at_ >= stream_.size()) {
            // Nothing more comes: the read waits out its whole time, as a real one would.
            clock_.sleepMs(timeouts_.readTotalConstantMs +
                           timeouts_.readTotalPerByteMs * static_cast<uint32_t>(maxBytes));
            return 0;
        }
        // Every read costs time, so the receive loop always ends.
        clock_.sleepMs(cuts_.empty() ? 50 : 1 + cuts_[cut_ % cuts_.size()] % 60);
        return take(buffer, maxBytes);
    }
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override {
        // What arrived with the frame is the next cut of the stream: without cuts nothing
        // did, so the stream can go on with the reply to the next request.
        return cuts_.empty() ? 0 : take(buffer, maxBytes);
    }
    std::size_t write(const uint8_t*, std::size_t bytes) override { return bytes; }
    bool drain() override { return open_; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }

  private:
    // The next cut of the stream (all of it without cuts), at most `maxBytes`.
    std::size_t take(uint8_t* buffer, std::size_t maxBytes) {
        std::size_t n = cuts_.empty()
                            ? maxBytes
                            : std::min<std::size_t>(maxBytes, cuts_[cut_++ % cuts_.size()]);
        n = std::min(n, stream_.size() - std::min(at_, stream_.size()));
        std::copy_n(stream_.begin() + static_cast<std::ptrdiff_t>(at_), n, buffer);
        at_ += n;
        return n;
    }

    Clock& clock_;
    std::vector<uint8_t> stream_;
    std::vector<uint8_t> cuts_;
    std::size_t at_ = 0;
    std::size_t cut_ = 0;
    PortTimeouts timeouts_;
    bool open_ = false;
};

}  // namespace qx::fuzz
