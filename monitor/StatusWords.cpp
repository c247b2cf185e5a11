#include "monitor/StatusWords.h"

namespace qx {

namespace {

uint32_t Word(std::span<const uint8_t> f, std::size_t at) {
    return uint32_t{f[at]} << 8 | f[at + 1];
}

uint32_t DWord(std::span<const uint8_t> f, std::size_t at) {
    return Word(f, at) << 16 | Word(f, at + 2);
}

}  // namespace

StatusWords DecodeStatusReply(std::span<const uint8_t> frame) {
    StatusWords w;
    w.torqueRaw = Word(frame, 8);
    w.speedRaw = Word(frame, 10);
    w.positionFeedback = DWord(frame, 12);
    w.alarmWord = Word(frame, 16);
    w.torqueCommandRaw = Word(frame, 18);
    w.speedCommandRaw = Word(frame, 20);
    w.positionCommand = DWord(frame, 22);
    w.phaseBits = Word(frame, 26);
    w.inputBits = Word(frame, 28);
    w.outputBits = Word(frame, 30);
    w.dcBusVolts = Word(frame, 32);
    return w;
}

StatusWords LoadStatusWords(const DriveStatus& status) {
    StatusWords w;
    w.torqueRaw = status.torqueRaw.load();
    w.speedRaw = status.speedRaw.load();
    w.positionFeedback = status.positionFeedback.load();
    w.alarmWord = status.alarmWord.load();
    w.torqueCommandRaw = status.torqueCommandRaw.load();
    w.speedCommandRaw = status.speedCommandRaw.load();
    w.positionCommand = status.positionCommand.load();
    w.phaseBits = status.phaseBits.load();
    w.inputBits = status.inputBits.load();
    w.outputBits = status.outputBits.load();
    w.dcBusVolts = status.dcBusVolts.load();
    return w;
}

void StoreStatusWords(DriveStatus& status, const StatusWords& w) {
    status.torqueRaw = w.torqueRaw;
    status.speedRaw = w.speedRaw;
    status.positionFeedback = w.positionFeedback;
    status.alarmWord = w.alarmWord;
    status.torqueCommandRaw = w.torqueCommandRaw;
    status.speedCommandRaw = w.speedCommandRaw;
    status.positionCommand = w.positionCommand;
    status.phaseBits = w.phaseBits;
    status.inputBits = w.inputBits;
    status.outputBits = w.outputBits;
    status.dcBusVolts = w.dcBusVolts;
}

}  // namespace qx
