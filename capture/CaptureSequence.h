#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "capture/CaptureJob.h"
#include "link/DriveLink.h"

namespace qx {

// Budget of every exchange of a capture.
inline constexpr uint32_t kCaptureExchangeBudgetMs = 500;
// A tuning capture may take three excitation levels plus this margin.
inline constexpr uint32_t kTuningTimeoutLevels = 3;
inline constexpr uint32_t kCaptureTimeoutMarginMs = 1000;
// The pause after a poll that found the drive still recording. Back-to-back polls would
// keep the line and a core busy for nothing; a record is found done at most this much
// later (under half a per cent of a tuning capture).
inline constexpr uint32_t kBusyPollPauseMs = 5;
// Words per read-out exchange (a reply frame of 248 bytes).
inline constexpr int kReadOutChunkWords = 120;

// The steps of one capture, in order.
enum class CaptureStep : int {
    Reset = 0,  // sync burst and reset request
    ConnectionSetup = 1,
    WriteGains = 2,  // tuning captures only
    Start = 3,
    Poll = 4,
    LocateRecord = 5,
    ReadOut = 6,
    Finish = 7,
};

// Where a capture stands, as its window tells the engineer.
enum class CapturePhase {
    Idle,        // no capture under way
    Starting,    // opening the session, writing the gains, starting the capture
    Waiting,     // the drive records (or waits for its trigger)
    Reading,     // the record is being read out
    Restarting,  // an exchange failed: starting over until the drive answers again
};

// How a capture run on the caller's thread ended.
enum class CaptureRun { Recorded, TimedOut, Stopped };

// One capture as a sequence of drive exchanges, run one step at a time so that the
// worker can look at its queue between any two of them. Any failure restarts the whole
// sequence, session opening included; nothing is reported until a record is complete.
class CaptureSequence {
  public:
    explicit CaptureSequence(DriveLink& link);

    // Starts (or restarts) a capture of `job` at step 0 with counter 0.
    void begin(const CaptureJob& job);
    // Drops the capture under way, if any.
    void abandon() { active_ = false; }

    // Runs one step. Returns true when that step completed the record; it is then in
    // record() and the sequence is idle again.
    bool runStep();
    // Begins `job` and runs its steps on the calling thread until the record is complete,
    // `limitMs` have passed since it began, or `stop` (when given) is raised between two
    // steps. A capture left unfinished is begun afresh by the next one.
    CaptureRun runWithin(const CaptureJob& job, uint32_t limitMs,
                         const std::atomic<bool>* stop = nullptr);

    bool active() const { return active_; }
    CapturePhase phase() const;
    // The capture begun last (its record's type and count).
    const CaptureJob& job() const { return job_; }
    CaptureStep step() const { return step_; }
    uint8_t sequenceCounter() const { return counter_; }
    uint32_t timeoutMs() const { return timeoutMs_; }
    uint32_t status() const { return status_; }
    int totalWords() const { return totalWords_; }
    int preTriggerWords() const { return preTriggerWords_; }
    int readAddress() const { return readAddress_; }
    int wordsRead() const { return wordsRead_; }
    int triggerPosition() const { return triggerPosition_; }
    // The bytes of the last complete record (2 x totalWords() of them are valid).
    std::span<const uint8_t> record() const { return record_; }

  private:
    uint32_t runOne();
    uint32_t writeGains();
    uint32_t startCapture();
    uint32_t poll();
    uint32_t locateRecord();
    uint32_t readChunk();

    DriveLink& link_;
    CaptureJob job_;
    bool active_ = false;
    CaptureStep step_ = CaptureStep::Reset;
    uint8_t counter_ = 0;
    uint32_t timeoutMs_ = 0;
    bool timeLimited_ = true;
    uint32_t startTick_ = 0;
    int totalWords_ = 0;
    int preTriggerWords_ = 0;
    int readAddress_ = 0;
    int wordsRead_ = 0;
    int triggerPosition_ = 0;
    uint32_t status_ = 0;
    bool stay_ = false;
    bool failed_ = false;  // since the last start or the last successful poll
    std::array<uint8_t, 2 * kMaxRecordWords> record_{};
};

// Time a capture of `job` may take before it is started again. Free-running captures
// that wait for a trigger edge have no limit (the second member is false).
struct CaptureTimeLimit {
    uint32_t ms = 0;
    bool limited = true;
};
CaptureTimeLimit CaptureTimeout(const CaptureJob& job);

// Points of a free-running record after its trigger.
int PostTriggerPoints(const CaptureJob& job);

}  // namespace qx
