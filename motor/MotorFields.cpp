#include "motor/MotorFields.h"

#include <cmath>
#include <utility>

namespace qx {

int32_t FloatToRaw(float value, int32_t scale) {
    const float scaled = value * static_cast<float>(scale);
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled <= static_cast<float>(kRawWordMin)) {
        return kRawWordMin;
    }
    if (scaled >= static_cast<float>(kRawWordMax)) {
        return kRawWordMax;
    }
    return static_cast<int32_t>(scaled);  // truncates toward zero
}

float RawToFloat(int32_t raw, int32_t scale) {
    return static_cast<float>(raw) / static_cast<float>(scale);
}

void SnapRatedCurrent(MotorFields& f) {
    f.ratedCurrentRaw = FloatToRaw(f.ratedCurrent, kRatedCurrentScale);
    f.ratedCurrent = RawToFloat(f.ratedCurrentRaw, kRatedCurrentScale);
}

void SnapLs(MotorFields& f, CurrentLoopModel& model) {
    model.lsRaw = FloatToRaw(f.ls, kInductanceScale);
    f.ls = RawToFloat(model.lsRaw, kInductanceScale);
}

void SnapRs(MotorFields& f, CurrentLoopModel& model) {
    model.rsRaw = FloatToRaw(f.rs, kResistanceScale);
    f.rs = RawToFloat(model.rsRaw, kResistanceScale);
}

void SnapKe(MotorFields& f, CurrentLoopModel& model) {
    model.keRaw = FloatToRaw(f.ke, kBackEmfScale);
    f.ke = RawToFloat(model.keRaw, kBackEmfScale);
}

uint16_t ComposeEncoderFlags(const MotorFields& f) {
    const auto bit = [](int32_t v, uint16_t shift) {
        return static_cast<uint16_t>((static_cast<uint32_t>(v) & 1u) << shift);
    };
    return static_cast<uint16_t>(bit(f.uvwDirection, kFlagUvwDirectionShift) |
                                 bit(f.encoderType, kFlagEncoderTypeShift) |
                                 bit(f.pulseDirection, kFlagPulseDirectionShift) |
                                 (static_cast<uint32_t>(f.zPulseType) & kFlagZPulseTypeMask));
}

void DecomposeEncoderFlags(uint16_t word, MotorFields& f) {
    const uint16_t low = word & 0x00FF;
    f.uvwDirection = (low >> kFlagUvwDirectionShift) & 1;
    f.encoderType = (low >> kFlagEncoderTypeShift) & 1;
    f.pulseDirection = (low >> kFlagPulseDirectionShift) & 1;
    f.zPulseType = low & kFlagZPulseTypeMask;
}

void SetMotorDefaults(MotorFields& f) {
    f.polePairs = kDefaultPolePairs;
    f.magnetDirection = 0;
    f.pulseNumber = kDefaultPulseNumber;
    f.zPulseType = 0;
    f.encoderType = kEncoderStandard;
    f.pulseDirection = 0;
    f.uvwDirection = 0;
    f.encoderOffset = 0;
}

MotorField FirstFieldOutOfRange(const MotorFields& f) {
    const std::pair<MotorField, int32_t> fields[] = {
        {MotorField::PolePairs, f.polePairs},
        {MotorField::MagnetDirection, f.magnetDirection},
        {MotorField::PulseNumber, f.pulseNumber},
        {MotorField::ZPulseType, f.zPulseType},
        {MotorField::PulseDirection, f.pulseDirection},
        {MotorField::UvwDirection, f.uvwDirection},
        {MotorField::EncoderOffset, f.encoderOffset},
    };
    for (const auto& [field, value] : fields) {
        if (!RangeOf(field).contains(value)) {
            return field;
        }
    }
    return MotorField::None;
}

IntRange RangeOf(MotorField field) {
    switch (field) {
        case MotorField::PolePairs:
            return kPolePairsRange;
        case MotorField::MagnetDirection:
            return kMagnetDirectionRange;
        case MotorField::PulseNumber:
            return kPulseNumberRange;
        case MotorField::ZPulseType:
            return kZPulseTypeRange;
        case MotorField::PulseDirection:
            return kPulseDirectionRange;
        case MotorField::UvwDirection:
            return kUvwDirectionRange;
        case MotorField::EncoderOffset:
            return kEncoderOffsetRange;
        case MotorField::None:
            break;
    }
    return {0, 0};
}

}  // namespace qx
