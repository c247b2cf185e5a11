#pragma once

// The steps of the automatic motor matching. Each returns a status (0 = success) and
// carries on the caller's session, except ServoOff and WriteMotorBlock, which open their
// own. The loops that wait on the motor are bounded; running out gives kMatchGaveUp.

#include <atomic>
#include <cstdint>
#include <optional>

#include "link/DriveCommands.h"
#include "link/MessageSink.h"
#include "motor/MotorFields.h"

namespace qx {

// Statuses of the match beyond those of the link.
inline constexpr uint32_t kMatchNoDrive = 1;
inline constexpr uint32_t kMatchNoDirection = 4096;
inline constexpr uint32_t kMatchGaveUp = 4097;   // a waiting loop ran out
inline constexpr uint32_t kMatchStopped = 4098;  // the owner asked the match to end
// The pole-pair test gave a value the dialog's range refuses: no motor is like that.
inline constexpr uint32_t kMatchOutOfRange = 4099;

// How long the motor turns before the user is asked which way.
inline constexpr uint32_t kDirectionSettleMs = 2000;
// Passes of three position samples; nine rising (or falling) ones decide.
inline constexpr int kDirectionScoreTarget = 9;
inline constexpr int kMaxDirectionPasses = 1000;
// A Z pulse type is tried this long for an index pulse before the next is tried.
inline constexpr uint32_t kZTrialMs = 20000;
// Candidates 0, 1 and 2: what the Z pulse type field can hold.
inline constexpr int32_t kZPulseTypeCandidates = 3;
// The pole-pair test is awaited at most this long.
inline constexpr uint32_t kPolePairTestLimitMs = 60000;
// Hall state words of a standard encoder turning one way or the other.
inline constexpr uint16_t kHallForward = 3;
inline constexpr uint16_t kHallReverse = 4;
inline constexpr uint16_t kAlarmClearWord = 0x4000;
inline constexpr uint16_t kPulseNumberMask = 0xFFFC;
// Bits 9..11 of the encoder signal word: any set means a standard encoder.
inline constexpr uint8_t kStandardEncoderHighBits = 0x0E;
inline constexpr uint8_t kPolePairResultWords = 7;

inline constexpr const char* kTextHallOutOfRange = "Hall UVW signals out of range!";

// trunc(25.6 x rated current): a fifth of the rated current in amperes x 128.
uint16_t TestCurrentRaw(float ratedCurrentA);

// What the pole-pair test's words mean.
int32_t DecodePulseNumber(uint16_t w0);
int32_t DecodePolePairs(uint16_t w1);
// The UVW direction the four hall words give, or nothing when they are out of range.
std::optional<int32_t> DecodeUvwDirection(const uint16_t (&hall)[4]);
// 0 (standard) or 1 (less-wire) from the high byte of the encoder signal word.
int32_t DecodeEncoderType(uint8_t signalHighByte);

uint32_t ClearAlarms(Session& session);
uint32_t DetectEncoderType(Session& session, MotorFields& fields);
// The motor must be turning. Uses the magnet direction already in `fields`.
uint32_t DetectPulseDirection(Session& session, MotorFields& fields, const std::atomic<bool>& stop);
// The motor must be turning. Leaves the candidate reached in the Z pulse type field.
uint32_t DetectZPulseType(Session& session, MotorFields& fields, const std::atomic<bool>& stop);
// Runs the drive's pole-pair test with `testCurrent` and takes its results; a pulse
// number or pole-pair count outside the dialog's ranges gives kMatchOutOfRange and
// changes no field.
uint32_t DetectPolePairsAndOffset(Session& session, MotorFields& fields, uint16_t testCurrent,
                                  MessageSink& messages, const std::atomic<bool>& stop);

}  // namespace qx
