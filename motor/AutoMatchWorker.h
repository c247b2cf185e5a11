#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "motor/AutoMatch.h"

namespace qx {

// Runs AutoMatch on a thread of its own, so the window that shows it stays responsive.
// The link belongs to the worker from start() until the finished callback has run.
class AutoMatchWorker {
  public:
    using Finished = std::function<void(const AutoMatchResult&)>;

    AutoMatchWorker(DriveLink& link, AutoMatchObserver& observer, MessageSink& messages);
    ~AutoMatchWorker();
    AutoMatchWorker(const AutoMatchWorker&) = delete;
    AutoMatchWorker& operator=(const AutoMatchWorker&) = delete;

    // Starts a match unless one is running; `finished` is called on the worker thread
    // after the last report.
    bool start(const AutoMatchInput& input, Finished finished);
    bool running() const { return running_; }
    // Asks the match to end at its next step; it ends as a failed match.
    void requestStop() { stop_ = true; }
    // Requests a stop and joins the thread. The wait is bounded: the match checks the
    // flag before every step and in every waiting loop, and each exchange has its own
    // budget, so it ends within one exchange and a servo-off. Whoever answers the
    // observer's question must stop waiting for the user first. Safe when nothing runs.
    void stop();
    // The result of the last finished match.
    std::optional<AutoMatchResult> lastResult() const;

  private:
    void joinIfDone();

    DriveLink& link_;
    AutoMatchObserver& observer_;
    MessageSink& messages_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    mutable std::mutex mutex_;
    std::optional<AutoMatchResult> result_;
};

}  // namespace qx
