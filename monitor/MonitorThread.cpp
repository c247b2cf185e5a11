#include "monitor/MonitorThread.h"

#include <chrono>
#include <system_error>

#include "monitor/StatusPoll.h"

namespace qx {

namespace {

// Beyond the poll under way, the thread needs only to see the cleared flag and leave.
constexpr uint32_t kStopMarginMs = 100;
constexpr uint32_t kStopBoundMs = kStatusPollWorstMs + kStopMarginMs;
// How often the closing wait looks at the clock when no notification came: the bound
// is measured on the link's clock, which a test may drive by hand.
constexpr auto kStopRecheck = std::chrono::milliseconds(5);

std::thread StartStdThread(std::function<void()> fn) {
    return std::thread(std::move(fn));
}

}  // namespace

MonitorThread::MonitorThread(DriveLink& link, DriveStatus& status, ThreadStarter starter)
    : link_(link),
      status_(status),
      starter_(starter ? std::move(starter) : ThreadStarter(StartStdThread)),
      control_(std::make_shared<Control>()) {}

MonitorThread::~MonitorThread() {
    stop();
}

void MonitorThread::setPollObserver(PollObserver observer) {
    control_->observer = std::move(observer);
}

bool MonitorThread::start(MessageSink& owner) {
    if (thread_.joinable()) {
        return false;  // one monitor at a time
    }
    if (status_.monitorThreads.load() != 0) {
        // Its flags are still the earlier thread's: they are left alone until it ends.
        Clock& clock = link_.clock();
        if (!waitSinceMs_) {
            waitSinceMs_ = clock.tickMs();
        }
        if (clock.elapsedMs(*waitSinceMs_) <= kEarlierMonitorWaitMs) {
            return false;
        }
        waitSinceMs_.reset();
        owner.show(kMonitorThreadFailsText, kTitleWarning);
        return false;
    }
    waitSinceMs_.reset();
    status_.monitorFinished = 1;
    if (link_.state().driveConnected != 1) {
        return false;
    }
    control_->polls = 0;
    status_.monitorRun = 1;
    // Cleared before the thread exists, so a stop that comes before the thread has
    // begun still waits for it; the thread then finds monitorRun cleared and ends.
    status_.monitorFinished = 0;
    ++status_.monitorThreads;
    try {
        thread_ = starter_([&link = link_, &status = status_, control = control_]() {
            Loop(link, status, *control);
            --status.monitorThreads;
        });
    } catch (const std::system_error&) {
        --status_.monitorThreads;
        status_.monitorRun = 0;
        status_.monitorFinished = 1;
        owner.show(kMonitorThreadFailsText, kTitleWarning);
        return false;
    }
    return true;
}

void MonitorThread::Loop(DriveLink& link, DriveStatus& status, Control& control) {
    while (status.monitorRun.load() == 1) {
        const uint32_t result = RunStatusPoll(link, status);
        control.lastStatus = result;
        ++control.polls;
        if (control.observer) {
            control.observer(result);
        }
    }
    {
        std::lock_guard<std::mutex> lock(control.mutex);
        status.monitorFinished = 1;
    }
    control.finished.notify_all();
}

void MonitorThread::requestStop() {
    status_.monitorRun = 0;
}

bool MonitorThread::stop() {
    status_.monitorRun = 0;
    if (!thread_.joinable()) {
        return true;
    }
    Clock& clock = link_.clock();
    const uint32_t start = clock.tickMs();
    {
        std::unique_lock<std::mutex> lock(control_->mutex);
        while (status_.monitorFinished.load() != 1) {
            status_.monitorRun = 0;
            if (clock.elapsedMs(start) > kStopBoundMs) {
                lock.unlock();
                // Hung inside the port: joining would hang the caller too. The thread
                // keeps its control block alive and ends once the port lets go; the
                // link and the shared record outlive every dialog.
                thread_.detach();
                return false;
            }
            control_->finished.wait_for(lock, kStopRecheck);
        }
    }
    thread_.join();
    return true;
}

}  // namespace qx
