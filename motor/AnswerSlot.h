#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace qx {

// One answer handed from the user-interface thread to a worker that waits for it: the
// worker arms the slot, asks (by a queued call), and waits; the user-interface thread
// answers. Cancelling wakes the waiter with nothing, now or at its next wait.
class AnswerSlot {
  public:
    // Forgets an earlier answer; a cancel stays in force.
    void arm();
    void answer(std::optional<int32_t> value);
    void cancel();
    // Blocks until answered or cancelled.
    std::optional<int32_t> wait();
    bool cancelled() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool answered_ = false;
    bool cancelled_ = false;
    std::optional<int32_t> value_;
};

}  // namespace qx
