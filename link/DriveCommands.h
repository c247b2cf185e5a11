#pragma once

// The request vocabulary of the drive: one typed builder per command and sub-command.
// Each fills the link's command payload, sends it and returns the status unchanged.
// Nobody else fills a payload by hand.

#include <cstdint>
#include <span>

#include "link/DriveLink.h"

namespace qx {

enum : uint8_t {
    kCmdReset = 0xCF,
    kCmdConnectionSetup = 0xC0,
    kCmdSubCommand = 0xC1,
    kCmdPoll = 0xC2,
};

enum class SubCommand : uint16_t {
    CaptureSetup = 0x0010,
    ServoControl = 0x0011,
    StartStepTest = 0x0012,
    StartFreeCapture = 0x0013,
    WriteBlock = 0x0014,
    WriteWords = 0x0015,
    StoreOp = 0x0016,
    MotorTest = 0x0018,
    GatherWords = 0x001A,
    ReadWords = 0x0091,
};

// Time budgets in use.
inline constexpr uint32_t kBudgetShortMs = 500;
inline constexpr uint32_t kBudgetEepromMs = 1000;
inline constexpr uint32_t kBudgetLongMs = 2000;

// Drive word addresses the tool touches.
namespace drive_address {
inline constexpr uint16_t kFpgaVersion = 0x0000;
inline constexpr uint16_t kEncoderSignal = 0x0009;
inline constexpr uint16_t kAlarmClearFirst = 0x000C;
inline constexpr uint16_t kRotorPosition = 0x0011;
inline constexpr uint16_t kIndexFlag = 0x0012;
inline constexpr uint16_t kTriggerPosition = 30;
inline constexpr uint16_t kParameterImage = 0x0200;
inline constexpr uint16_t kParameterImageWords = 512;
inline constexpr uint16_t kMotorBlock = 0x0210;
inline constexpr uint16_t kCurrentLoopGains = 0x0212;
inline constexpr uint16_t kProtectionCode = 0x0241;
inline constexpr uint16_t kSpeedLoopGains = 0x025D;
inline constexpr uint16_t kPositionLoopGains = 0x026B;
inline constexpr uint16_t kExchangeArea = 0x0400;
inline constexpr uint16_t kCaptureRingFirst = 1024;
inline constexpr uint16_t kCaptureRingLast = 3071;
inline constexpr uint16_t kCaptureRingWords = 2048;
inline constexpr uint32_t kBootRomVersion = 0x003F7F79;
inline constexpr uint32_t kSoftwareVersion = 0x003EFFFE;
inline constexpr uint32_t kRangeTable = 0x003F301A;
}  // namespace drive_address

// Largest word count one read may ask for (its reply stays within a 256-byte frame).
inline constexpr uint8_t kMaxReadWords = 120;
// Largest number of words one write may carry (a 126-byte payload).
inline constexpr std::size_t kMaxWriteWords = 60;
// Largest GatherWords entry count (a 126-byte payload).
inline constexpr std::size_t kMaxGatherEntries = 18;

inline constexpr uint16_t kServoOffWord = 0x0050;

enum class MotorTestAction : uint16_t { Turn = 2, PolePairTest = 3, ServoOff = 5 };

struct CaptureSetupArgs {
    uint8_t loopKind = 0;
    uint16_t excitationTicks = 0;
    uint32_t excitationAmplitude = 0;
    uint16_t constA = 0;
    uint16_t constB = 0;
    uint32_t maxValue = 0;
    uint32_t minValue = 0;
};

struct StepTestArgs {
    uint8_t loopKind = 0;
    uint8_t triggerPhase = 0;
    uint16_t triggerStartTicks = 0;
    uint16_t sampleCount = 0;
    uint16_t sampleDivider = 0;
};

struct FreeCaptureArgs {
    uint8_t monitorType = 0;
    uint32_t triggerLevel = 0;
    uint8_t triggerMode = 0;
    uint16_t postTriggerPoints = 0;
    uint16_t sampleDivider = 0;
};

uint32_t ResetRequest(DriveLink& link, uint32_t timeoutMs = kBudgetShortMs);
uint32_t ConnectionSetupRequest(DriveLink& link, uint8_t selector = 0,
                                uint32_t timeoutMs = kBudgetShortMs);
// Status 9 means the pending job is still running.
uint32_t PollRequest(DriveLink& link, uint8_t selector, uint32_t timeoutMs = kBudgetShortMs);

// The builders below refuse what one frame cannot carry (more than kMaxReadWords to
// read, more than kMaxWriteWords to write, an odd byte count for WriteBlock, more than
// kMaxGatherEntries): they return kStatusRequestRefused and send nothing.

// Reads `count` words from `address`. Success means the reply carried exactly those
// words; read them with DriveLink::replyWord(0 .. count - 1).
uint32_t ReadWords(DriveLink& link, uint8_t selector, uint16_t address, uint8_t count,
                   uint32_t timeoutMs);
uint32_t WriteWords(DriveLink& link, uint8_t selector, uint16_t address,
                    std::span<const uint16_t> words, uint32_t timeoutMs);
// Same as WriteWords for the drive, with the bytes taken as they stand (high byte first).
uint32_t WriteBlock(DriveLink& link, uint8_t selector, uint16_t address,
                    std::span<const uint8_t> wordBytes, uint32_t timeoutMs);
uint32_t GatherWords(DriveLink& link, uint8_t selector, std::span<const uint32_t> addresses,
                     uint32_t timeoutMs);
uint32_t StoreOp(DriveLink& link, uint8_t selector, uint16_t operation,
                 uint32_t timeoutMs = kBudgetEepromMs);
uint32_t MotorTest(DriveLink& link, uint8_t selector, MotorTestAction action, uint16_t currentRaw,
                   uint16_t mode, uint32_t timeoutMs = kBudgetShortMs);
uint32_t ServoControl(DriveLink& link, uint8_t selector, uint16_t word,
                      uint32_t timeoutMs = kBudgetShortMs);
uint32_t CaptureSetup(DriveLink& link, uint8_t selector, const CaptureSetupArgs& args,
                      uint32_t timeoutMs = kBudgetShortMs);
uint32_t StartStepTest(DriveLink& link, uint8_t selector, const StepTestArgs& args,
                       uint32_t timeoutMs = kBudgetShortMs);
uint32_t StartFreeCapture(DriveLink& link, uint8_t selector, const FreeCaptureArgs& args,
                          uint32_t timeoutMs = kBudgetShortMs);

enum class SyncMode { WithSync, WithoutSync };

// One exchange sequence with the drive: the opening (sync burst, reset request,
// connection set-up request) and the sequence counter its requests carry as selector.
class Session {
  public:
    explicit Session(DriveLink& link) : link_(link) {}

    // Runs the opening; each step only if the one before succeeded. The counter restarts
    // at 0 for the two opening requests, so the first request after it carries 1.
    uint32_t open(SyncMode mode = SyncMode::WithSync);
    // The selector for the next request, advancing the counter (modulo 256).
    uint8_t next() { return counter_++; }
    uint8_t counter() const { return counter_; }
    DriveLink& link() { return link_; }

  private:
    DriveLink& link_;
    uint8_t counter_ = 0;
};

}  // namespace qx
