#pragma once

// A connected, identified simulated drive with its capture unit, in virtual time, and
// what the tool sent it.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "capture/CaptureControl.h"
#include "capture/CaptureJob.h"
#include "capture/CaptureSequence.h"
#include "capture/SampleThread.h"
#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"
#include "sim/CaptureFeatures.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {

struct Request {
    uint8_t command = 0, selector = 0;
    std::vector<uint8_t> payload;
    int sub() const { return payload.size() >= 2 ? (payload[0] << 8 | payload[1]) : -1; }
    bool operator==(const Request&) const = default;
};

// The requests sent, retries of the one before left out: one per step of a capture.
inline std::vector<Request> Exchanges(const sim::SimDrive& drive) {
    std::vector<Request> out;
    for (const auto& f : drive.requestLog()) {
        const Request r{f[1], f[2], std::vector<uint8_t>(f.begin() + 4, f.end() - 2)};
        if (out.empty() || !(out.back() == r)) {
            out.push_back(r);
        }
    }
    return out;
}

// Stands in for the window: counts records and lets the test wait for them.
class Window final : public SampleDoneListener {
  public:
    void sampleDone() override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        cv_.notify_all();
    }
    bool waitFor(int records, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, bound, [&] { return done_ >= records; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int done_ = 0;
};

struct CaptureRig : SimLink {
    Window window;
    explicit CaptureRig(bool connect = true) {
        sim::InstallCaptureFeatures(*drive);
        if (connect) {
            open();
            ConnectDrive(link, state.identity, messages);
            messages.clear();
            drive->clearRequestLog();
        }
    }

    // The drive set up for a step test of `kind`; the shared records as a window that
    // asks for `count` points fills them.
    CaptureJob TuningJob(CaptureKind kind, int count, int32_t ticks = 300) {
        state.loopCaptureRequest.loopKind = static_cast<int32_t>(kind);
        state.loopCaptureRequest.excitationAmplitude = 128;
        state.loopCaptureRequest.excitationTicks = ticks;
        SetupCapture(link, state);
        drive->clearRequestLog();
        state.loopCaptureRun.tuningActive = 1;
        state.loopCaptureRun.sampleCount = count;
        state.loopCaptureRun.sampleDivider = 1;
        state.loopCaptureRun.triggerPhase = 1;
        state.loopCaptureRun.triggerStartTicks = 10;
        state.currentCaptureSettings.lastingTimeMs = 300;
        return SnapshotCaptureJob(state);
    }

    // A drive that answers free-running captures at once, its trigger at ring word
    // `trigger`, ring word w holding w - 1024; and the job of `count` points of `mode`.
    CaptureJob FreeJob(uint16_t trigger, int32_t mode, int count, float pre) {
        drive->setSubCommandHandler(0x0013, [](sim::SimDrive&, std::span<const uint8_t>, uint64_t) {
            return sim::Answer::Ok();
        });
        drive->write(drive_address::kTriggerPosition, trigger);
        for (int w = 0; w < 2048; ++w) {
            drive->write(1024 + w, static_cast<uint16_t>(w));
        }
        state.loopCaptureRun.tuningActive = 0;
        state.freeRunRequest = {pre, mode, -192, 1, count, 0};
        return SnapshotCaptureJob(state);
    }

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
