#include "monitor/ServoStateValues.h"

#include <cstdio>

namespace qx {

int32_t SignExtend16(uint32_t raw) {
    return static_cast<int16_t>(static_cast<uint16_t>(raw & 0xFFFF));
}

float CurrentAmps(uint32_t raw) {
    return static_cast<float>(SignExtend16(raw)) / kCurrentScale;
}

int32_t SpeedRpm(uint32_t raw) {
    return SignExtend16(raw) / kSpeedScale;  // C++ division truncates toward zero
}

int32_t AlarmNumber(uint32_t alarmWord) {
    const uint32_t high = (alarmWord >> 8) & 0xFF;
    return high != 0 ? static_cast<int32_t>(alarmWord & 0xFF) : 0;
}

int32_t PositionError(uint32_t positionCommand, uint32_t positionFeedback) {
    // Unsigned subtraction wraps where a signed one would overflow.
    return static_cast<int32_t>(positionCommand - positionFeedback);
}

ServoStateValues ComputeServoStateValues(const StatusWords& w) {
    ServoStateValues v;
    v.torque = CurrentAmps(w.torqueRaw);
    v.speed = SpeedRpm(w.speedRaw);
    v.position = static_cast<int32_t>(w.positionFeedback);
    v.positionError = PositionError(w.positionCommand, w.positionFeedback);
    v.torqueInstruction = CurrentAmps(w.torqueCommandRaw);
    v.speedInstruction = SpeedRpm(w.speedCommandRaw);
    v.positionInstruction = static_cast<int32_t>(w.positionCommand);
    v.speedError = v.speedInstruction - v.speed;
    v.alarmNumber = AlarmNumber(w.alarmWord);
    v.dcBus = static_cast<int32_t>(w.dcBusVolts);
    return v;
}

bool ShowsDcBus(uint32_t softwareVersion) {
    return softwareVersion >= kDcBusMinSoftwareVersion;
}

std::string FormatGeneral(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

}  // namespace qx
