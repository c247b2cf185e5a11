#include "motor/EncoderFixing.h"

#include "motor/MotorBlock.h"

namespace qx {

namespace {
constexpr uint8_t kPositionAndFlagWords = 2;
}  // namespace

uint16_t ReadRotorPosition(Session& session) {
    if (OpenMotorSession(session) != kStatusOk) {
        return kRotorPositionUnknown;
    }
    DriveLink& link = session.link();
    if (ReadWords(link, session.next(), drive_address::kRotorPosition, kPositionAndFlagWords,
                  kBudgetShortMs) != kStatusOk) {
        return kRotorPositionUnknown;
    }
    if ((link.replyWord(1) & kIndexSeenBit) == 0) {
        return kRotorPositionUnknown;
    }
    return link.replyWord(0);
}

uint16_t FreezeCurrentRaw(int32_t amperes) {
    return static_cast<uint16_t>(static_cast<uint32_t>(amperes * kRatedCurrentScale) & 0xFFFF);
}

uint32_t FreezeRotor(Session& session, int32_t amperes) {
    const uint32_t status = OpenMotorSession(session);
    if (status != kStatusOk) {
        return status;
    }
    return MotorTest(session.link(), session.next(), MotorTestAction::Turn,
                     FreezeCurrentRaw(amperes), kMotorTestModeHold, kBudgetShortMs);
}

uint32_t ServoOff(Session& session) {
    const uint32_t status = OpenMotorSession(session);
    if (status != kStatusOk) {
        return status;
    }
    return MotorTest(session.link(), session.next(), MotorTestAction::ServoOff, 0, 0,
                     kBudgetShortMs);
}

}  // namespace qx
