#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "link/Clock.h"
#include "link/SerialPort.h"
#include "sim/TimedInbox.h"

namespace qx::test {

// A port whose replies a test writes byte for byte. Each request frame written takes
// the next scripted reply (silence when none is left); a reply may come in pieces with
// pauses between them. Sync bursts get no reply.
struct ScriptedPort final : SerialPort {
    struct Piece {
        std::vector<uint8_t> bytes;
        uint32_t delayUs = 0;  // pause before the piece starts arriving
    };
    using Reply = std::vector<Piece>;

    explicit ScriptedPort(Clock& clock) : clock_(clock) {}

    void script(std::vector<uint8_t> bytes) { replies_.push_back({Piece{std::move(bytes)}}); }
    void script(Reply reply) { replies_.push_back(std::move(reply)); }
    // Every request from now on meets this reply, however many attempts a call makes.
    void scriptAlways(std::vector<uint8_t> bytes) { always_ = Reply{Piece{std::move(bytes)}}; }

    std::vector<std::vector<uint8_t>> requests() const { return requests_; }
    // Every write, sync bursts included.
    std::vector<std::vector<uint8_t>> writes() const { return writes_; }
    void shortenWrites(std::size_t maxBytes) { writeLimit_ = maxBytes; }

    OpenResult open() override {
        open_ = open_ || openResult == OpenResult::Ok;
        return openResult;
    }
    bool configure(const LineSettings&) override { return open_ && configureOk_; }
    bool setQueueSizes(std::size_t, std::size_t) override { return open_; }
    bool purge() override {
        inbox_.dropArrived(clock_.nowUs());
        return open_;
    }
    bool setTimeouts(const PortTimeouts& t) override {
        timeouts_ = t;
        return open_;
    }
    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override {
        return open_ ? inbox_.read(buffer, maxBytes, timeouts_, clock_) : 0;
    }
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override {
        return open_ ? inbox_.readArrived(buffer, maxBytes, clock_.nowUs()) : 0;
    }
    std::size_t write(const uint8_t* data, std::size_t bytes) override;
    bool drain() override { return open_; }
    void close() override {
        open_ = false;
        if (closedFlag != nullptr) {
            *closedFlag = true;
        }
    }
    bool isOpen() const override { return open_; }

    OpenResult openResult = OpenResult::Ok;
    bool configureOk_ = true;
    bool* closedFlag = nullptr;  // set when the link closes the port
    Clock& clock_;
    bool open_ = false;
    std::size_t writeLimit_ = SIZE_MAX;
    PortTimeouts timeouts_;
    std::deque<Reply> replies_;
    std::optional<Reply> always_;
    std::vector<std::vector<uint8_t>> requests_;
    std::vector<std::vector<uint8_t>> writes_;
    sim::TimedInbox inbox_;
};

}  // namespace qx::test
