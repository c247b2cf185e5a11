#include "motor/AnswerSlot.h"

namespace qx {

void AnswerSlot::arm() {
    std::lock_guard<std::mutex> lock(mutex_);
    answered_ = false;
    value_.reset();
}

void AnswerSlot::answer(std::optional<int32_t> value) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answered_ = true;
        value_ = value;
    }
    changed_.notify_all();
}

void AnswerSlot::cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
}

std::optional<int32_t> AnswerSlot::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return answered_ || cancelled_; });
    if (cancelled_) {
        return std::nullopt;
    }
    answered_ = false;
    return value_;
}

bool AnswerSlot::cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

}  // namespace qx
