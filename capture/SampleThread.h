#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "app/SharedState.h"
#include "capture/CaptureJob.h"
#include "capture/CaptureSequence.h"
#include "capture/DecodeSamples.h"
#include "capture/PlotData.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"

namespace qx {

// Messages between a capture window and its worker.
inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t WM_SAMPLE_DONE = kWmUser + 2;
inline constexpr uint32_t WM_SAMPLE_START = kWmUser + 20;
inline constexpr uint32_t WM_QUIT = 0x0012;

// How long a window waits for its worker to end; every step of a capture is bounded
// by its exchange budgets, so a worker that does not end within this has hung.
inline constexpr std::chrono::milliseconds kSampleThreadEndWait{10'000};

// The window's side of the worker: told, on the worker's thread, that a record is
// complete in the shared sample buffer. A window forwards it to its own thread with a
// queued call and handles it there as WM_SAMPLE_DONE.
class SampleDoneListener {
  public:
    virtual ~SampleDoneListener() = default;
    virtual void sampleDone() = 0;
};

// The capture worker of a capture window. It owns the serial link from start() until
// it has ended; the window must not touch the link in between.
class SampleThread {
  public:
    SampleThread(SharedState& state, DriveLink& link, SampleDoneListener& owner);
    // Ends the worker if it still runs.
    ~SampleThread();
    SampleThread(const SampleThread&) = delete;
    SampleThread& operator=(const SampleThread&) = delete;

    // Creates the worker (sampleThreadEnded goes to 0 before it runs). On failure sets
    // sampleThreadEnded to 1 and returns false.
    bool start();

    // WM_SAMPLE_START: capture what the shared records ask for now (a snapshot is taken
    // on the calling thread); restarts a capture under way.
    void postStart();
    // WM_QUIT: the worker ends between two steps.
    void postQuit();
    // Any other message is taken from the queue and discarded.
    void postMessage(uint32_t message);

    // Waits until sampleThreadEnded is set, at most `bound`; joins the worker when it
    // has ended. Returns false when the bound passed first.
    bool waitEnded(std::chrono::milliseconds bound = kSampleThreadEndWait);
    // postQuit() and waitEnded().
    bool end(std::chrono::milliseconds bound = kSampleThreadEndWait);

    bool started() const { return worker_.joinable(); }
    // Decodes the last published record with the type and count it was captured with
    // (the shared request may have changed while it was armed) and tells its shape.
    RecordShape decodeRecord(PlotData& plot) const;
    RecordShape recordShape() const;

    // Where the capture stands now (written by the worker after each step).
    CapturePhase phase() const { return static_cast<CapturePhase>(phase_.load()); }
    // Completed records since start(), for tests and benchmarks.
    uint64_t recordsDone() const { return recordsDone_.load(); }

  private:
    struct Message {
        uint32_t id = 0;
        CaptureJob job;
    };

    void run();
    void publishRecord();

    SharedState& state_;
    SampleDoneListener& owner_;
    CaptureSequence sequence_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Message> queue_;
    std::atomic<uint64_t> recordsDone_{0};
    std::atomic<int> phase_{static_cast<int>(CapturePhase::Idle)};
    RecordShape published_;  // guarded by the shared sample buffer's mutex
};

// What a capture window does to start its worker: on failure the user is told
// "Create Sample Thread Fails!" in a box owned by the window.
bool StartSampleThread(SampleThread& thread, MessageSink& window);

}  // namespace qx
