#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "monitor/StatusPoll.h"

namespace qx {

inline constexpr const char* kMonitorThreadFailsText = "Create monitor Thread Fails!";
// How long a new monitor waits for a thread that an earlier one left on the link.
inline constexpr uint32_t kEarlierMonitorWaitMs = kStatusPollWorstMs;

// The worker behind both monitor dialogs: polls the drive's status back to back, each
// poll in a session of its own, and leaves the decoded words in DriveStatus. It sets or
// clears `driveConnected` after every poll; a lost link does not stop it.
//
// The stop is a two-flag handshake on the shared record: the owner clears
// `monitorRun`; the thread finishes the poll under way, leaves its loop and sets
// `monitorFinished`. While the thread runs it is the only user of the link.
class MonitorThread {
  public:
    // Creates the thread; throws std::system_error when it cannot (as std::thread does).
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;
    // Called on the worker after each poll with its status.
    using PollObserver = std::function<void(uint32_t status)>;

    MonitorThread(DriveLink& link, DriveStatus& status, ThreadStarter starter = {});
    // Stops the thread if it still runs.
    ~MonitorThread();
    MonitorThread(const MonitorThread&) = delete;
    MonitorThread& operator=(const MonitorThread&) = delete;

    // Set before start().
    void setPollObserver(PollObserver observer);

    // A monitor dialog's opening: `monitorFinished` = 1; with a connected drive,
    // `monitorRun` = 1, `monitorFinished` = 0 and the thread starts. A thread that
    // cannot be created is reported to `owner` and leaves `monitorFinished` at 1.
    // Returns true when the thread runs.
    //
    // While a thread that an earlier monitor left behind (stop() returned false) is still
    // on the link, nothing is started or changed: waiting() is then true and the owner
    // calls start() again from its timer, keeping its window responsive. Once
    // kEarlierMonitorWaitMs have passed since the first call, the thread is reported as
    // not created and none starts.
    bool start(MessageSink& owner);
    bool waiting() const { return waitSinceMs_.has_value(); }

    // A monitor dialog's closing: clears `monitorRun` until the thread has left its
    // loop, then joins it. Waits at most kStatusPollWorstMs (on the link's clock) plus
    // a margin; returns false, leaving the thread to end on its own, if it did not.
    bool stop();
    // Clears `monitorRun` without waiting: the poll under way becomes the last one.
    void requestStop();

    bool started() const { return thread_.joinable(); }
    // Polls made since start().
    uint64_t pollCount() const { return control_->polls.load(); }
    // The status of the thread's last poll.
    uint32_t lastStatus() const { return control_->lastStatus.load(); }

  private:
    // What the thread shares with its owner; kept alive by the thread too, so a thread
    // left to end on its own never touches a destroyed owner.
    struct Control {
        std::mutex mutex;
        std::condition_variable finished;
        std::atomic<uint64_t> polls{0};
        std::atomic<uint32_t> lastStatus{0};
        PollObserver observer;
    };

    static void Loop(DriveLink& link, DriveStatus& status, Control& control);

    DriveLink& link_;
    DriveStatus& status_;
    ThreadStarter starter_;
    std::shared_ptr<Control> control_;
    std::thread thread_;
    std::optional<uint32_t> waitSinceMs_;
};

}  // namespace qx
