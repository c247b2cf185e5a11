#pragma once

// The motor and encoder data as the Motor Setting dialog holds it, with the conversions
// between the float fields and their drive words.

#include <cstdint>
#include <string>

#include "app/SharedState.h"

namespace qx {

// Drive units of the float fields: the raw word is trunc(value x scale).
inline constexpr int32_t kRatedCurrentScale = 128;
inline constexpr int32_t kInductanceScale = 1024;  // Ls, mH
inline constexpr int32_t kResistanceScale = 1024;  // Rs, ohm
inline constexpr int32_t kBackEmfScale = 32;       // Ke, V/krpm

// A raw word is sent as its low 16 bits. Values outside what 16 bits carry (as a signed
// or an unsigned word) are held at the nearest end, so the dialog never shows a value
// that differs from the one the drive receives.
inline constexpr int32_t kRawWordMin = -32768;
inline constexpr int32_t kRawWordMax = 65535;

struct IntRange {
    int32_t min;
    int32_t max;
    bool contains(int32_t v) const { return v >= min && v <= max; }
    int32_t clamp(int32_t v) const { return v < min ? min : (v > max ? max : v); }
};

// The ranges the dialog checks on commit; its spins stop at the same limits.
inline constexpr IntRange kPolePairsRange{1, 10};
inline constexpr IntRange kMagnetDirectionRange{0, 1};
inline constexpr IntRange kPulseNumberRange{1000, 40000};
inline constexpr IntRange kZPulseTypeRange{0, 2};
inline constexpr IntRange kPulseDirectionRange{0, 1};
inline constexpr IntRange kUvwDirectionRange{0, 1};
inline constexpr IntRange kEncoderOffsetRange{0, 65535};

// Spin steps of the float fields.
inline constexpr float kRatedCurrentStep = 0.1f;
inline constexpr float kResistanceStep = 0.01f;
inline constexpr float kInductanceStep = 0.01f;
inline constexpr float kBackEmfStep = 0.1f;

// Defaults without a drive.
inline constexpr int32_t kDefaultPolePairs = 4;
inline constexpr int32_t kDefaultPulseNumber = 10000;

// Bits of the encoder flags word (word 0x0217).
inline constexpr uint16_t kFlagUvwDirectionShift = 4;
inline constexpr uint16_t kFlagEncoderTypeShift = 3;
inline constexpr uint16_t kFlagPulseDirectionShift = 2;
inline constexpr uint16_t kFlagZPulseTypeMask = 0x0003;

// Encoder types.
inline constexpr int32_t kEncoderStandard = 0;
inline constexpr int32_t kEncoderLessWire = 1;

// The dialog's fields. The raw words of Ls, Rs and Ke (and the current loop's Ki, carried
// through) live in CurrentLoopModel beside them.
struct MotorFields {
    int32_t ratedCurrentRaw = 0;
    int32_t polePairs = 0;
    int32_t magnetDirection = 0;  // 0 counter-clockwise, 1 clockwise
    int32_t encoderOffset = 0;
    int32_t pulseNumber = 0;
    int32_t zPulseType = 0;
    int32_t encoderType = 0;  // 0 standard, 1 less-wire
    int32_t pulseDirection = 0;
    std::string message;
    int32_t uvwDirection = 0;
    float ke = 0.0f;
    float ls = 0.0f;
    float rs = 0.0f;
    float ratedCurrent = 0.0f;

    bool operator==(const MotorFields&) const = default;
};

// trunc(value x scale), held within kRawWordMin..kRawWordMax; NaN gives 0.
int32_t FloatToRaw(float value, int32_t scale);
float RawToFloat(int32_t raw, int32_t scale);

// The float set from its text (or a spin), converted: stores the raw word and moves the
// float onto the word's grid.
void SnapRatedCurrent(MotorFields& f);
void SnapLs(MotorFields& f, CurrentLoopModel& model);
void SnapRs(MotorFields& f, CurrentLoopModel& model);
void SnapKe(MotorFields& f, CurrentLoopModel& model);

// UVW direction x 16 + encoder type x 8 + pulse direction x 4 + Z pulse type.
uint16_t ComposeEncoderFlags(const MotorFields& f);
// Masks bits 4, 3, 2 and 1..0 of the low byte; the high byte is ignored.
void DecomposeEncoderFlags(uint16_t word, MotorFields& f);

// The encoder fields without a drive: pole pairs 4, pulse number 10000, the rest 0.
void SetMotorDefaults(MotorFields& f);

// Which integer field a commit found out of range; None when all are in range.
enum class MotorField {
    None,
    PolePairs,
    MagnetDirection,
    PulseNumber,
    ZPulseType,
    PulseDirection,
    UvwDirection,
    EncoderOffset,
};
MotorField FirstFieldOutOfRange(const MotorFields& f);
IntRange RangeOf(MotorField field);

}  // namespace qx
