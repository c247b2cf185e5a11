#include "params/WriteUserParam.h"

#include <array>

#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"

namespace qx {

uint32_t WriteUserParam(DriveLink& link, int pn, int32_t value, MessageSink& owner) {
    const uint16_t address = ParamWordAddress(pn);
    const std::array<uint16_t, 1> word = {static_cast<uint16_t>(value & 0xFFFF)};
    Clock& clock = link.clock();
    const uint32_t start = clock.tickMs();
    uint32_t status = kStatusNoReply;
    while (clock.elapsedMs(start) < kWriteParamLimitMs && status != kStatusOk) {
        Session session(link);
        status = session.open(SyncMode::WithSync);
        if (status == kStatusOk) {
            status = WriteWords(link, session.next(), address, word, kBudgetLongMs);
        }
    }
    if (status != kStatusOk) {
        link.state().driveConnected = 0;
        owner.show("Communication with the Servo Fails!", kTitleWarning);
    }
    return status;
}

uint32_t SetUserParam(DriveLink& link, UserParamTable& table, ParamChangeLog* log, int pn,
                      int32_t value, MessageSink& owner) {
    const uint32_t status = WriteUserParam(link, pn, value, owner);
    if (status == kStatusOk) {
        if (log != nullptr) {
            log->record(pn, table.value[pn], value);
        }
        table.value[pn] = value;
    }
    return status;
}

int32_t ClampToParamRange(const UserParamTable& table, int pn, int64_t value) {
    if (value >= table.maximum[pn]) {
        return table.maximum[pn];
    }
    if (value <= table.minimum[pn]) {
        return table.minimum[pn];
    }
    return static_cast<int32_t>(value);
}

}  // namespace qx
