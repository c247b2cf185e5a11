#pragma once

#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveCommands.h"
#include "link/DriveLink.h"
#include "monitor/StatusWords.h"

namespace qx {

// The status poll carries the first selector after the session opening.
inline constexpr uint8_t kStatusPollSelector = 1;

// Longest a single blocking port read may last: 50 ms plus 1 ms for each of 128 bytes.
inline constexpr uint32_t kReadCallMaxMs = 50 + 128;
// Longest writes under the port's write time-outs (50 ms plus 1 ms a byte): the sync
// burst, and a request of the poll (six bytes, no payload).
inline constexpr uint32_t kSyncBurstWorstMs = 50 + static_cast<uint32_t>(kSyncBurstBytes);
inline constexpr uint32_t kPollWriteWorstMs = 50 + 6;
// Longest one attempt of a request: a write and a receive that may overrun its 500 ms by
// two blocking reads, plus rounding.
inline constexpr uint32_t kPollAttemptWorstMs =
    kPollWriteWorstMs + kReceiveBudgetMs + 2 * kReadCallMaxMs + 2;
// Longest one request of the poll may take with its 500 ms budget. Attempts go on while
// the budget lasts, and quick ones (replies that come at once but are refused) may fill
// it: the attempt begun at its very end, and the one more made after it, may each take
// a full attempt.
inline constexpr uint32_t kPollRequestWorstMs = kBudgetShortMs + 1 + 2 * kPollAttemptWorstMs;
// Longest one whole status poll may take: the sync burst and its quiet time, then the
// three requests. A monitor stop waits at most this long for the poll under way.
inline constexpr uint32_t kStatusPollWorstMs =
    kSyncBurstWorstMs + kSyncQuietMs + 3 * kPollRequestWorstMs;

// One status poll in a session of its own: sync burst, reset request, connection set-up
// request, then the poll request. On 0 `out` holds the decoded status. A reply too short
// to carry the status fields gives kStatusWrongDataLength and leaves `out` alone.
uint32_t PollDriveStatus(DriveLink& link, StatusWords& out);

// What the monitor does each turn: polls, stores the fields on success and sets
// `driveConnected` to 1, or clears it on failure and keeps the previous fields.
uint32_t RunStatusPoll(DriveLink& link, DriveStatus& status);

}  // namespace qx
