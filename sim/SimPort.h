#pragma once

#include <memory>

#include "link/Clock.h"
#include "link/SerialPort.h"
#include "sim/SimDrive.h"
#include "sim/TimedInbox.h"

namespace qx::sim {

// The simulated drive behind the port layer, in the same process. Each reply byte
// arrives at a definite instant of the given clock: at once, or paced at the wire's
// speed. With a VirtualClock every wait costs nothing.
class SimPort final : public SerialPort {
  public:
    SimPort(std::shared_ptr<SimDrive> drive, Clock& clock, bool paceBytes = false);

    OpenResult open() override;
    bool configure(const LineSettings& settings) override;
    bool setQueueSizes(std::size_t inputBytes, std::size_t outputBytes) override;
    bool purge() override;
    bool setTimeouts(const PortTimeouts& timeouts) override;
    std::size_t read(uint8_t* buffer, std::size_t maxBytes) override;
    std::size_t readAvailable(uint8_t* buffer, std::size_t maxBytes) override;
    std::size_t write(const uint8_t* data, std::size_t bytes) override;
    bool drain() override;
    void close() override;
    bool isOpen() const override { return open_; }

    // Makes the next open() fail as if the device were absent or in use.
    void failNextOpen(OpenResult result) { failOpen_ = result; }
    void failConfigure(bool fail) { failConfigure_ = fail; }
    // The next write is cut short after this many bytes.
    void shortenNextWrite(std::size_t bytes) { shortWrite_ = bytes; }

    SimDrive& drive() { return *drive_; }

  private:
    std::shared_ptr<SimDrive> drive_;
    Clock& clock_;
    bool pace_;
    bool open_ = false;
    OpenResult failOpen_ = OpenResult::Ok;
    bool failConfigure_ = false;
    std::size_t shortWrite_ = SIZE_MAX;
    PortTimeouts timeouts_;
    FrameAssembler assembler_;
    TimedInbox incoming_;
    uint64_t txFreeUs_ = 0;  // when the line towards the drive is free again
    uint64_t rxFreeUs_ = 0;  // when the line from the drive is free again
};

}  // namespace qx::sim
