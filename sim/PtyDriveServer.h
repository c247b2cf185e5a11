#pragma once

#include <signal.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "sim/SimDrive.h"

namespace qx::sim {

// Pulling the cable once: the request after `afterRequests` served ones goes unanswered,
// the line hangs up, and `forMs` later the adapter comes back as a new device.
struct UnplugPlan {
    uint64_t afterRequests = 0;
    uint64_t forMs = 0;
};

// Parses "AFTER:FOR_MS" (AFTER in requests served). Returns an explanation on error.
std::optional<std::string> ParseUnplugSpec(const std::string& text, UnplugPlan& plan);

// Serves a simulated drive on a pseudo-terminal, so the tool reaches it through its
// real termios port. With pacing on, every byte takes its time on the wire
// (115200 baud, 8O2) in both directions.
//
// The cable can be pulled: the pseudo-terminal is then closed, so whoever holds the
// device sees a hang-up, and the device path disappears. Plugging back in creates a new
// pseudo-terminal (usually under another name), as a USB adapter comes back.
class PtyDriveServer {
  public:
    PtyDriveServer(std::shared_ptr<SimDrive> drive, bool pace);
    ~PtyDriveServer();
    PtyDriveServer(const PtyDriveServer&) = delete;
    PtyDriveServer& operator=(const PtyDriveServer&) = delete;

    // A symbolic link kept pointing at the current device while it is plugged in, and
    // removed while it is not. Set before start().
    void setLinkPath(std::string path) { linkPath_ = std::move(path); }
    void setUnplugPlan(const UnplugPlan& plan) { plan_ = plan; }
    // Told the new device path each time the cable comes back (on the serving thread).
    void setReplugListener(std::function<void(const std::string&)> listener) {
        replugListener_ = std::move(listener);
    }
    // The signal mask while waiting: a caller that blocks its control signals passes the
    // mask without them, so they arrive only while the server waits and none is missed.
    void setWaitSignalMask(const sigset_t& mask) { waitMask_ = mask; }

    // Creates the pseudo-terminal (and the link); returns false with error() set.
    bool start();
    // The device the tool opens, e.g. /dev/pts/3; empty while unplugged. Changes on the
    // serving thread while run() goes on: others learn new paths from the listener.
    const std::string& devicePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Serves requests until stop() is called (from a signal handler or another thread),
    // or until a new pseudo-terminal cannot be had (error() then says why).
    void run();
    void stop() { running_ = false; }
    // Pull the cable now, until plugIn(). Safe in a signal handler.
    void unplugNow() { unplugRequested_ = true; }
    // Plug it back in now. Safe in a signal handler.
    void plugIn() { plugInRequested_ = true; }

  private:
    struct Pending {
        uint8_t byte;
        uint64_t dueUs;
    };

    bool pluggedIn() const { return master_ >= 0; }
    bool openPseudoTerminal();
    bool pointLink();
    void unplug(std::optional<uint64_t> backAtUs);
    bool replug();
    void closeDevice();
    void receive(uint64_t nowUs);
    void transmit(uint64_t nowUs);
    int waitFor(int fd, uint64_t waitUs, short& revents);
    void takePendingSignals();

    std::shared_ptr<SimDrive> drive_;
    bool pace_;
    int master_ = -1;
    int slaveKeepAlive_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::string error_;
    std::atomic<bool> running_{false};
    std::atomic<bool> unplugRequested_{false};
    std::atomic<bool> plugInRequested_{false};
    std::optional<UnplugPlan> plan_;
    std::optional<uint64_t> backAtUs_;
    std::function<void(const std::string&)> replugListener_;
    std::optional<sigset_t> waitMask_;
    uint64_t requestsServed_ = 0;
    FrameAssembler assembler_;
    std::deque<Pending> outgoing_;
    uint64_t txFreeUs_ = 0;
    uint64_t rxFreeUs_ = 0;
};

}  // namespace qx::sim
