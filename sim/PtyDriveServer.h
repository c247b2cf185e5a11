#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "sim/SimDrive.h"

namespace qx::sim {

// Serves a simulated drive on a pseudo-terminal, so the tool reaches it through its
// real termios port. With pacing on, every byte takes its time on the wire
// (115200 baud, 8O2) in both directions.
class PtyDriveServer {
  public:
    PtyDriveServer(std::shared_ptr<SimDrive> drive, bool pace);
    ~PtyDriveServer();
    PtyDriveServer(const PtyDriveServer&) = delete;
    PtyDriveServer& operator=(const PtyDriveServer&) = delete;

    // Creates the pseudo-terminal; returns false with error() set on failure.
    bool start();
    // The device the tool opens, e.g. /dev/pts/3.
    const std::string& devicePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Serves requests until stop() is called (from a signal handler or another thread).
    void run();
    void stop() { running_ = false; }

  private:
    struct Pending {
        uint8_t byte;
        uint64_t dueUs;
    };

    void receive(uint64_t nowUs);
    void transmit(uint64_t nowUs);

    std::shared_ptr<SimDrive> drive_;
    bool pace_;
    int master_ = -1;
    int slaveKeepAlive_ = -1;
    std::string slavePath_;
    std::string error_;
    std::atomic<bool> running_{false};
    FrameAssembler assembler_;
    std::deque<Pending> outgoing_;
    uint64_t txFreeUs_ = 0;
    uint64_t rxFreeUs_ = 0;
};

}  // namespace qx::sim
