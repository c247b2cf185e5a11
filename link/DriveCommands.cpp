#include "link/DriveCommands.h"

#include <algorithm>

namespace qx {

namespace {

// Writes big-endian fields into the link's command payload.
class PayloadWriter {
  public:
    explicit PayloadWriter(DriveLink& link) : bytes_(link.commandPayload()) {}

    PayloadWriter& byte(uint8_t b) {
        bytes_[size_++] = b;
        return *this;
    }
    PayloadWriter& word(uint16_t w) {
        byte(static_cast<uint8_t>(w >> 8));
        return byte(static_cast<uint8_t>(w & 0xFF));
    }
    PayloadWriter& dword(uint32_t d) {
        word(static_cast<uint16_t>(d >> 16));
        return word(static_cast<uint16_t>(d & 0xFFFF));
    }
    PayloadWriter& sub(SubCommand s) { return word(static_cast<uint16_t>(s)); }
    uint32_t size() const { return size_; }

  private:
    std::array<uint8_t, kCommandPayloadBytes>& bytes_;
    uint32_t size_ = 0;
};

uint32_t SendSub(DriveLink& link, uint8_t selector, const PayloadWriter& w, uint32_t timeoutMs) {
    return link.SendCommand(kCmdSubCommand, selector, w.size(), timeoutMs);
}

}  // namespace

uint32_t ResetRequest(DriveLink& link, uint32_t timeoutMs) {
    return link.SendCommand(kCmdReset, 0, 0, timeoutMs);
}

uint32_t ConnectionSetupRequest(DriveLink& link, uint8_t selector, uint32_t timeoutMs) {
    return link.SendCommand(kCmdConnectionSetup, selector, 0, timeoutMs);
}

uint32_t PollRequest(DriveLink& link, uint8_t selector, uint32_t timeoutMs) {
    return link.SendCommand(kCmdPoll, selector, 0, timeoutMs);
}

uint32_t ReadWords(DriveLink& link, uint8_t selector, uint16_t address, uint8_t count,
                   uint32_t timeoutMs) {
    if (count > kMaxReadWords) {
        return kStatusRequestRefused;
    }
    PayloadWriter w(link);
    w.sub(SubCommand::ReadWords).word(address).byte(0).byte(count);
    const uint32_t status = SendSub(link, selector, w, timeoutMs);
    if (status != kStatusOk) {
        return status;
    }
    // Frame = header (4) + acknowledgement (2) + data + checksum (2): anything but the
    // words asked for would leave the caller reading stale bytes of an earlier reply.
    const uint32_t frameBytes = 2u * link.rxFrame()[3];
    if (frameBytes != kReplyDataOffset + 2u * count + 2u) {
        return kStatusWrongDataLength;
    }
    return kStatusOk;
}

uint32_t WriteWords(DriveLink& link, uint8_t selector, uint16_t address,
                    std::span<const uint16_t> words, uint32_t timeoutMs) {
    if (words.size() > kMaxWriteWords) {
        return kStatusRequestRefused;
    }
    const std::size_t n = words.size();
    PayloadWriter w(link);
    w.sub(SubCommand::WriteWords).word(address).word(static_cast<uint16_t>(n));
    for (std::size_t k = 0; k < n; ++k) {
        w.word(words[k]);
    }
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t WriteBlock(DriveLink& link, uint8_t selector, uint16_t address,
                    std::span<const uint8_t> wordBytes, uint32_t timeoutMs) {
    if (wordBytes.size() % 2 != 0 || wordBytes.size() / 2 > kMaxWriteWords) {
        return kStatusRequestRefused;
    }
    const std::size_t n = wordBytes.size() / 2;
    PayloadWriter w(link);
    w.sub(SubCommand::WriteBlock).word(address).byte(0).byte(static_cast<uint8_t>(n));
    for (std::size_t k = 0; k < 2 * n; ++k) {
        w.byte(wordBytes[k]);
    }
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t GatherWords(DriveLink& link, uint8_t selector, std::span<const uint32_t> addresses,
                     uint32_t timeoutMs) {
    if (addresses.size() > kMaxGatherEntries) {
        return kStatusRequestRefused;
    }
    const std::size_t n = addresses.size();
    PayloadWriter w(link);
    w.sub(SubCommand::GatherWords).word(static_cast<uint16_t>(n));
    w.word(0x0001).word(0x0001).word(0x0003).word(0x0000).word(0x0000);
    for (std::size_t k = 0; k < n; ++k) {
        w.word(0x0000).dword(addresses[k]);
    }
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t StoreOp(DriveLink& link, uint8_t selector, uint16_t operation, uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::StoreOp).word(operation);
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t MotorTest(DriveLink& link, uint8_t selector, MotorTestAction action, uint16_t currentRaw,
                   uint16_t mode, uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::MotorTest).word(static_cast<uint16_t>(action));
    if (action == MotorTestAction::Turn || action == MotorTestAction::PolePairTest) {
        w.word(currentRaw);
    }
    if (action == MotorTestAction::Turn) {
        w.word(mode);
    }
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t ServoControl(DriveLink& link, uint8_t selector, uint16_t word, uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::ServoControl).word(word);
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t CaptureSetup(DriveLink& link, uint8_t selector, const CaptureSetupArgs& a,
                      uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::CaptureSetup).byte(0).byte(a.loopKind).word(a.excitationTicks);
    w.dword(a.excitationAmplitude)
        .word(a.constA)
        .word(a.constB)
        .dword(a.maxValue)
        .dword(a.minValue);
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t StartStepTest(DriveLink& link, uint8_t selector, const StepTestArgs& a,
                       uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::StartStepTest).byte(0).byte(a.loopKind).byte(0).byte(a.triggerPhase);
    w.word(a.triggerStartTicks).word(a.sampleCount).word(a.sampleDivider);
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t StartFreeCapture(DriveLink& link, uint8_t selector, const FreeCaptureArgs& a,
                          uint32_t timeoutMs) {
    PayloadWriter w(link);
    w.sub(SubCommand::StartFreeCapture).byte(0).byte(a.monitorType).dword(a.triggerLevel);
    w.byte(0).byte(a.triggerMode).word(a.postTriggerPoints).word(a.sampleDivider);
    return SendSub(link, selector, w, timeoutMs);
}

uint32_t Session::open(SyncMode mode) {
    if (mode == SyncMode::WithSync) {
        link_.SyncLine();
    }
    counter_ = 0;
    uint32_t status = ResetRequest(link_, kBudgetShortMs);
    if (status != kStatusOk) {
        return status;
    }
    // Both opening requests carry selector 0; the first request after them carries 1.
    return ConnectionSetupRequest(link_, next(), kBudgetShortMs);
}

}  // namespace qx
