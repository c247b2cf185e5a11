#include "monitor/StatusPoll.h"

#include "link/DriveCommands.h"

namespace qx {

uint32_t PollDriveStatus(DriveLink& link, StatusWords& out) {
    Session session(link);
    uint32_t status = session.open();
    if (status != kStatusOk) {
        return status;
    }
    status = PollRequest(link, session.next(), kBudgetShortMs);
    if (status != kStatusOk) {
        return status;
    }
    // An acknowledged reply without the status fields would leave the bytes of an
    // earlier, longer reply in the frame buffer; they must not pass for the status.
    if (2u * link.rxFrame()[3] < kStatusReplyBytes) {
        return kStatusWrongDataLength;
    }
    out = DecodeStatusReply(link.rxFrame());
    return kStatusOk;
}

uint32_t RunStatusPoll(DriveLink& link, DriveStatus& status) {
    StatusWords words;
    const uint32_t result = PollDriveStatus(link, words);
    if (result == kStatusOk) {
        StoreStatusWords(status, words);
        link.state().driveConnected = 1;
    } else {
        link.state().driveConnected = 0;
    }
    return result;
}

}  // namespace qx
