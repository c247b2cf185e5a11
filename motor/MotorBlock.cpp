#include "motor/MotorBlock.h"

#include <span>

namespace qx {

namespace {

constexpr uint16_t Low16(int32_t v) {
    return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF);
}

// The three writes: 4 words at 0x0210, 4 at 0x0214, 2 at 0x0218.
struct BlockPart {
    uint16_t address;
    std::size_t first;
    std::size_t count;
};
constexpr BlockPart kWriteParts[] = {
    {drive_address::kMotorBlock, 0, 4},
    {drive_address::kMotorBlock + 4, 4, 4},
    {drive_address::kMotorBlock + 8, 8, 2},
};

}  // namespace

uint32_t OpenMotorSession(Session& session, MessageSink* messages) {
    const uint32_t status = session.open(SyncMode::WithoutSync);
    if (status != kStatusOk && messages != nullptr) {
        // The connection set-up request is only sent (and so only counted) once the reset
        // request has succeeded.
        const bool resetFailed = session.counter() == 0;
        messages->show(resetFailed ? kTextResetFails : kTextConnectionFails, kTitleWarning);
    }
    return status;
}

std::array<uint16_t, kMotorBlockWords> MotorBlockWords(const MotorFields& f,
                                                       const CurrentLoopModel& m) {
    return {Low16(f.ratedCurrentRaw), Low16(f.polePairs),     Low16(m.lsRaw),
            Low16(m.rsRaw),           Low16(m.keRaw),         Low16(m.word0215),
            Low16(f.magnetDirection), ComposeEncoderFlags(f), Low16(f.pulseNumber),
            Low16(f.encoderOffset)};
}

uint32_t ReadMotorBlock(Session& session, MotorFields& f, CurrentLoopModel& m,
                        MessageSink& messages) {
    DriveLink& link = session.link();
    uint32_t status = OpenMotorSession(session, &messages);
    if (status == kStatusOk) {
        status = ReadWords(link, session.next(), drive_address::kMotorBlock, kMotorBlockWords,
                           kBudgetLongMs);
        if (status != kStatusOk) {
            messages.show(kTextFpgaReadFails, kTitleWarning);
        }
    }
    if (status != kStatusOk) {
        link.state().driveConnected = 0;
        return status;
    }
    f.ratedCurrentRaw = link.replyWord(0);
    f.ratedCurrent = RawToFloat(f.ratedCurrentRaw, kRatedCurrentScale);
    f.polePairs = link.replyWord(1);
    m.lsRaw = link.replyWord(2);
    f.ls = RawToFloat(m.lsRaw, kInductanceScale);
    m.rsRaw = link.replyWord(3);
    f.rs = RawToFloat(m.rsRaw, kResistanceScale);
    m.keRaw = link.replyWord(4);
    f.ke = RawToFloat(m.keRaw, kBackEmfScale);
    m.word0215 = link.replyWord(5);
    f.magnetDirection = link.replyWord(6);
    DecomposeEncoderFlags(link.replyWord(7), f);
    f.pulseNumber = link.replyWord(8);
    f.encoderOffset = link.replyWord(9);
    return kStatusOk;
}

uint32_t WriteMotorBlock(Session& session, const MotorFields& f, const CurrentLoopModel& m,
                         MessageSink& messages) {
    uint32_t status = OpenMotorSession(session, &messages);
    if (status != kStatusOk) {
        return status;
    }
    const auto words = MotorBlockWords(f, m);
    for (const BlockPart& part : kWriteParts) {
        status = WriteWords(session.link(), session.next(), part.address,
                            std::span<const uint16_t>(words).subspan(part.first, part.count),
                            kBudgetLongMs);
        if (status != kStatusOk) {
            messages.show(kTextFpgaWriteFails, kTitleWarning);
            return status;
        }
    }
    return kStatusOk;
}

}  // namespace qx
