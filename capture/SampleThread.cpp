#include "capture/SampleThread.h"

#include <algorithm>
#include <system_error>

#include "capture/ThreadPriority.h"

namespace qx {

SampleThread::SampleThread(SharedState& state, DriveLink& link, SampleDoneListener& owner)
    : state_(state), owner_(owner), sequence_(link) {}

SampleThread::~SampleThread() {
    if (worker_.joinable()) {
        end();
        if (worker_.joinable()) {
            worker_.join();
        }
    }
}

bool SampleThread::start() {
    if (worker_.joinable()) {
        return true;
    }
    // Cleared here, before the worker exists: a window that posts WM_QUIT at once must
    // not see the flag of an earlier worker and go on while this one still runs.
    state_.workerSync.sampleThreadEnded = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
    }
    try {
        worker_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        state_.workerSync.sampleThreadEnded = 1;
        return false;
    }
    return true;
}

void SampleThread::postStart() {
    Message m;
    m.id = WM_SAMPLE_START;
    m.job = SnapshotCaptureJob(state_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(m);
    }
    wake_.notify_one();
}

void SampleThread::postQuit() {
    postMessage(WM_QUIT);
}

void SampleThread::postMessage(uint32_t message) {
    if (message == WM_SAMPLE_START) {
        postStart();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Message{message, {}});
    }
    wake_.notify_one();
}

bool SampleThread::waitEnded(std::chrono::milliseconds bound) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ended = wake_.wait_for(
            lock, bound, [this] { return state_.workerSync.sampleThreadEnded.load() != 0; });
        if (!ended) {
            return false;
        }
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    return true;
}

bool SampleThread::end(std::chrono::milliseconds bound) {
    if (!worker_.joinable()) {
        return true;
    }
    postQuit();
    return waitEnded(bound);
}

void SampleThread::publishRecord() {
    const std::span<const uint8_t> record = sequence_.record();
    const std::size_t bytes = 2u * static_cast<std::size_t>(sequence_.totalWords());
    {
        std::lock_guard<std::mutex> lock(state_.sampleBufferMutex);
        std::copy_n(record.begin(), std::min(bytes, state_.sampleBuffer.size()),
                    state_.sampleBuffer.begin());
        const CaptureJob& job = sequence_.job();
        const int count = sequence_.totalWords() / WordsPerPoint(job.kind);
        const bool triggered = !job.tuning && job.triggerMode != kTriggerAutoRun;
        published_ = {job.kind,
                      count,
                      job.sampleDivider,
                      job.baseSampleRateHz,
                      triggered ? count - PostTriggerPoints(job) : -1,
                      job.gains,
                      job.gainCount};
    }
    recordsDone_.fetch_add(1);
    owner_.sampleDone();
}

RecordShape SampleThread::decodeRecord(PlotData& plot) const {
    std::lock_guard<std::mutex> lock(state_.sampleBufferMutex);
    DecodeSamples(state_.sampleBuffer, published_.kind, published_.count, plot);
    return published_;
}

RecordShape SampleThread::recordShape() const {
    std::lock_guard<std::mutex> lock(state_.sampleBufferMutex);
    return published_;
}

void SampleThread::run() {
    RaiseCapturePriority();
    for (;;) {
        Message m;
        bool got = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (queue_.empty() && !sequence_.active()) {
                // Idle: nothing to do until the window asks.
                wake_.wait(lock, [this] { return !queue_.empty(); });
            }
            if (!queue_.empty()) {
                m = queue_.front();
                queue_.pop_front();
                got = true;
            }
        }
        if (got) {
            if (m.id == WM_QUIT) {
                sequence_.abandon();
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    state_.workerSync.sampleThreadEnded = 1;
                }
                wake_.notify_all();
                return;
            }
            if (m.id != WM_SAMPLE_START) {
                continue;
            }
            sequence_.begin(m.job);
        }
        const bool complete = sequence_.runStep();
        phase_.store(static_cast<int>(sequence_.phase()));
        if (complete) {
            publishRecord();
        }
    }
}

bool StartSampleThread(SampleThread& thread, MessageSink& window) {
    if (thread.start()) {
        return true;
    }
    window.show("Create Sample Thread Fails!", kTitleWarning);
    return false;
}

}  // namespace qx
