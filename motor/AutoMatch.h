#pragma once

// The automatic motor matching: finds the encoder type, the directions, the Z pulse type,
// the pole pairs and the encoder offset of the motor wired to the drive, and stores them
// in the drive's motor data block.

#include <atomic>
#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "motor/AutoMatchObserver.h"
#include "motor/MatchSteps.h"
#include "motor/MotorFields.h"

namespace qx {

inline constexpr const char* kTextMatchSucceeded = "Auto match succed!";
inline constexpr const char* kTextMatchFailed = "Auto match fails!";
inline constexpr const char* kTextInvalidDirection = "Invalid Direction Input!";
inline constexpr int kProgressDone = 100;
inline constexpr int kProgressFailed = 0;
// Slices of the settle wait, so a stop request is seen soon.
inline constexpr uint32_t kStopCheckMs = 50;

// What the match starts from: the dialog's fields and current-loop words when the
// button was clicked.
struct AutoMatchInput {
    MotorFields fields;
    CurrentLoopModel loopModel;
};

struct AutoMatchResult {
    uint32_t status = 0;  // 0 when the match succeeded
    int percent = 0;      // where the progress bar ends
    MotorFields fields;   // the fields as the match left them, message line included
    // Whether a servo-off was sent after a failure, to stop a motor test that may run.
    bool servoOffAfterFailure = false;
    bool succeeded() const { return status == 0; }
};

// Runs the whole sequence on the calling thread; reports go to `observer`, message
// boxes to `messages`. `stop` ends it early (as a failure). Reads driveConnected, and
// portOpen to decide whether a servo-off after a failure can still reach the drive.
AutoMatchResult AutoMatch(DriveLink& link, const AutoMatchInput& input, AutoMatchObserver& observer,
                          MessageSink& messages, const std::atomic<bool>& stop);

// The encoder fields a match starts from (also what it leaves without a drive).
void ResetMatchFields(MotorFields& fields);

}  // namespace qx
