#pragma once

// A connected, identified simulated drive with its capture unit, in virtual time, and
// helpers to read back what the tool sent.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "capture/CaptureJob.h"
#include "capture/CaptureSequence.h"
#include "capture/SampleThread.h"
#include "link/ConnectDrive.h"
#include "sim/CaptureFeatures.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

struct Request {
    uint8_t command = 0;
    uint8_t selector = 0;
    std::vector<uint8_t> payload;
    int sub() const { return payload.size() >= 2 ? (payload[0] << 8 | payload[1]) : -1; }
    int word(std::size_t at) const { return payload[at] << 8 | payload[at + 1]; }
};

inline std::vector<Request> Requests(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (const auto& f : drive.requestLog()) {
        out.push_back({f[1], f[2], std::vector<uint8_t>(f.begin() + 4, f.end() - 2)});
    }
    return out;
}

// Requests that are not retries of the one before (same command and selector): one per
// step of a capture.
inline std::vector<Request> Exchanges(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (const Request& r : Requests(drive)) {
        if (!out.empty() && out.back().command == r.command && out.back().selector == r.selector &&
            out.back().payload == r.payload) {
            continue;
        }
        out.push_back(r);
    }
    return out;
}

// Stands in for the window: counts records and lets the test wait for them.
class Window final : public SampleDoneListener {
  public:
    void sampleDone() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++done_;
        }
        cv_.notify_all();
    }
    bool waitFor(int records, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, bound, [&] { return done_ >= records; });
    }
    int done() {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int done_ = 0;
};

struct CaptureRig : SimLink {
    CaptureRig() {
        sim::InstallCaptureFeatures(*drive);
        open();
        ConnectDrive(link, state.identity, messages);
        messages.clear();
        drive->clearRequestLog();
    }

    // A tuning capture of `kind` as the shared records describe it after the window
    // filled them, with `count` points.
    CaptureJob TuningJob(CaptureKind kind, int count) {
        state.loopCaptureRun.tuningActive = 1;
        state.loopCaptureRequest.loopKind = static_cast<int32_t>(kind);
        state.loopCaptureRun.sampleCount = count;
        state.loopCaptureRun.sampleDivider = 1;
        state.loopCaptureRun.triggerPhase = 1;
        state.loopCaptureRun.triggerStartTicks = 10;
        state.currentCaptureSettings.lastingTimeMs = 300;
        return SnapshotCaptureJob(state);
    }

    // Sends the capture set-up the step test needs.
    void SetUpDrive(CaptureKind kind, int32_t amplitude, int32_t ticks = 300);

    // Runs steps until the record is complete; false if `maxSteps` pass first.
    static bool RunToRecord(CaptureSequence& seq, int maxSteps = 100000) {
        for (int i = 0; i < maxSteps; ++i) {
            if (seq.runStep()) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace qx::test
