#include "capture/CaptureSequence.h"

#include <algorithm>

#include "link/ConnectDrive.h"
#include "link/DriveCommands.h"

namespace qx {

namespace {

constexpr int kRingFirst = drive_address::kCaptureRingFirst;
constexpr int kRingLast = drive_address::kCaptureRingLast;
constexpr int kRingWords = drive_address::kCaptureRingWords;

// Any address folded into the ring: a trigger position the drive reports outside it
// must not make the read-out wander through other drive memory.
int IntoRing(int address) {
    const int offset = ((address - kRingFirst) % kRingWords + kRingWords) % kRingWords;
    return kRingFirst + offset;
}

}  // namespace

CaptureTimeLimit CaptureTimeout(const CaptureJob& job) {
    if (job.tuning) {
        const auto lasting = static_cast<uint32_t>(job.lastingTimeMs);
        return {lasting * kTuningTimeoutLevels + kCaptureTimeoutMarginMs, true};
    }
    if (job.triggerMode != kTriggerAutoRun) {
        return {0, false};
    }
    // A drive that was never accepted has no known base rate; every accepted drive runs
    // at the standard one, so the limit is taken from that instead of dividing by zero.
    const uint32_t rate = job.baseSampleRateHz > 0 ? static_cast<uint32_t>(job.baseSampleRateHz)
                                                   : static_cast<uint32_t>(kBaseSampleRateHz);
    const auto count = static_cast<uint32_t>(job.sampleCount);
    const auto divider = static_cast<uint32_t>(job.sampleDivider);
    return {count * 2u * divider * 1000u / rate + kCaptureTimeoutMarginMs, true};
}

int PostTriggerPoints(const CaptureJob& job) {
    if (job.triggerMode == kTriggerAutoRun) {
        return job.sampleCount;
    }
    return static_cast<int>(job.sampleCount * (1.0 - job.preTriggerFraction));
}

CaptureSequence::CaptureSequence(DriveLink& link) : link_(link) {}

CaptureRun CaptureSequence::runWithin(const CaptureJob& job, uint32_t limitMs,
                                      const std::atomic<bool>* stop) {
    begin(job);
    Clock& clock = link_.clock();
    const uint32_t start = clock.tickMs();
    while (!runStep()) {
        if (stop != nullptr && stop->load()) {
            return CaptureRun::Stopped;
        }
        if (clock.elapsedMs(start) > limitMs) {
            return CaptureRun::TimedOut;
        }
    }
    return CaptureRun::Recorded;
}

void CaptureSequence::begin(const CaptureJob& job) {
    job_ = job;
    active_ = true;
    step_ = CaptureStep::Reset;
    counter_ = 0;
    status_ = 0;
    wordsRead_ = 0;
    failed_ = false;
    const CaptureTimeLimit limit = CaptureTimeout(job_);
    timeoutMs_ = limit.ms;
    timeLimited_ = limit.limited;
}

bool CaptureSequence::runStep() {
    if (!active_) {
        return false;
    }
    const CaptureStep ran = step_;
    stay_ = false;
    status_ = runOne();
    if (ran == CaptureStep::Finish) {
        return true;
    }
    if (status_ != 0) {
        counter_ = 0;
        step_ = CaptureStep::Reset;
        failed_ = true;
    } else if (ran == CaptureStep::Poll) {
        failed_ = false;
    }
    if (status_ == 0 && !stay_) {
        step_ = static_cast<CaptureStep>(static_cast<int>(step_) + 1);
    }
    return false;
}

CapturePhase CaptureSequence::phase() const {
    if (!active_) {
        return CapturePhase::Idle;
    }
    if (failed_) {
        return CapturePhase::Restarting;
    }
    switch (step_) {
        case CaptureStep::Poll:
            return CapturePhase::Waiting;
        case CaptureStep::LocateRecord:
        case CaptureStep::ReadOut:
        case CaptureStep::Finish:
            return CapturePhase::Reading;
        default:
            return CapturePhase::Starting;
    }
}

uint32_t CaptureSequence::runOne() {
    switch (step_) {
        case CaptureStep::Reset:
            link_.SyncLine();
            return ResetRequest(link_, kCaptureExchangeBudgetMs);
        case CaptureStep::ConnectionSetup:
            return ConnectionSetupRequest(link_, counter_++, kCaptureExchangeBudgetMs);
        case CaptureStep::WriteGains:
            return job_.tuning ? writeGains() : kStatusOk;
        case CaptureStep::Start:
            return startCapture();
        case CaptureStep::Poll:
            return poll();
        case CaptureStep::LocateRecord:
            return locateRecord();
        case CaptureStep::ReadOut:
            if (wordsRead_ >= totalWords_) {
                return kStatusOk;
            }
            stay_ = true;
            return readChunk();
        case CaptureStep::Finish:
            active_ = false;
            step_ = CaptureStep::Reset;
            counter_ = 0;
            return kStatusOk;
    }
    return kStatusOk;
}

uint32_t CaptureSequence::writeGains() {
    const std::span<const uint16_t> words(job_.gains.data(), job_.gainCount);
    return WriteWords(link_, counter_++, job_.gainAddress, words, kCaptureExchangeBudgetMs);
}

uint32_t CaptureSequence::startCapture() {
    const int perPoint = WordsPerPoint(job_.kind);
    // The sample buffer holds one ring's worth; a larger request is cut to it rather
    // than written past the buffer's end.
    totalWords_ = std::clamp(job_.sampleCount * perPoint, 0, kMaxRecordWords);
    uint32_t status = 0;
    if (job_.tuning) {
        StepTestArgs args;
        args.loopKind = static_cast<uint8_t>(job_.kind);
        args.triggerPhase = static_cast<uint8_t>(job_.triggerPhase);
        args.triggerStartTicks = static_cast<uint16_t>(job_.triggerStartTicks);
        args.sampleCount = static_cast<uint16_t>(job_.sampleCount);
        args.sampleDivider = static_cast<uint16_t>(job_.sampleDivider);
        status = StartStepTest(link_, counter_++, args, kCaptureExchangeBudgetMs);
        preTriggerWords_ = 0;
    } else {
        const int post = PostTriggerPoints(job_);
        FreeCaptureArgs args;
        args.monitorType = static_cast<uint8_t>(job_.kind);
        args.triggerLevel = static_cast<uint32_t>(job_.triggerLevelRaw);
        args.triggerMode = static_cast<uint8_t>(job_.triggerMode);
        args.postTriggerPoints = static_cast<uint16_t>(post);
        args.sampleDivider = static_cast<uint16_t>(job_.sampleDivider);
        status = StartFreeCapture(link_, counter_++, args, kCaptureExchangeBudgetMs);
        preTriggerWords_ = totalWords_ - post * perPoint;
    }
    startTick_ = link_.clock().tickMs();
    return status;
}

uint32_t CaptureSequence::poll() {
    const uint32_t status = PollRequest(link_, counter_++, kCaptureExchangeBudgetMs);
    if (status != kStatusNoAck) {
        return status;
    }
    // Not finished yet: poll again, unless the drive has had all the time it needs.
    if (!timeLimited_ || link_.clock().elapsedMs(startTick_) < timeoutMs_) {
        stay_ = true;
        link_.clock().sleepMs(kBusyPollPauseMs);
        return kStatusOk;
    }
    return status;
}

uint32_t CaptureSequence::locateRecord() {
    wordsRead_ = 0;
    if (job_.tuning || job_.triggerMode == kTriggerAutoRun) {
        readAddress_ = kRingFirst;
        return kStatusOk;
    }
    const uint32_t status =
        ReadWords(link_, counter_++, drive_address::kTriggerPosition, 1, kCaptureExchangeBudgetMs);
    if (status == kStatusOk) {
        triggerPosition_ = link_.replyWord(0);
        readAddress_ = IntoRing(triggerPosition_ - preTriggerWords_);
    }
    return status;
}

uint32_t CaptureSequence::readChunk() {
    int n = std::min(totalWords_ - wordsRead_, kReadOutChunkWords);
    if (readAddress_ + n > kRingLast) {
        n = kRingLast - readAddress_ + 1;
    }
    const uint32_t status = ReadWords(link_, counter_++, static_cast<uint16_t>(readAddress_),
                                      static_cast<uint8_t>(n), kCaptureExchangeBudgetMs);
    readAddress_ += n;
    if (readAddress_ > kRingLast) {
        readAddress_ -= kRingWords;
    }
    if (status == kStatusOk) {
        const auto& rx = link_.rxFrame();
        std::copy_n(rx.begin() + kReplyDataOffset, 2 * n, record_.begin() + 2 * wordsRead_);
        wordsRead_ += n;
    }
    return status;
}

}  // namespace qx
