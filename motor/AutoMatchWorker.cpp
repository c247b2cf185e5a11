#include "motor/AutoMatchWorker.h"

namespace qx {

AutoMatchWorker::AutoMatchWorker(DriveLink& link, AutoMatchObserver& observer,
                                 MessageSink& messages)
    : link_(link), observer_(observer), messages_(messages) {}

AutoMatchWorker::~AutoMatchWorker() {
    stop();
}

void AutoMatchWorker::joinIfDone() {
    if (thread_.joinable() && !running_) {
        thread_.join();
    }
}

bool AutoMatchWorker::start(const AutoMatchInput& input, Finished finished) {
    joinIfDone();
    if (running_ || thread_.joinable()) {
        return false;
    }
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this, input, finished = std::move(finished)]() {
        const AutoMatchResult result = AutoMatch(link_, input, observer_, messages_, stop_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            result_ = result;
        }
        running_ = false;
        if (finished) {
            finished(result);
        }
    });
    return true;
}

void AutoMatchWorker::stop() {
    stop_ = true;
    if (!thread_.joinable()) {
        return;
    }
    thread_.join();
}

std::optional<AutoMatchResult> AutoMatchWorker::lastResult() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
}

}  // namespace qx
