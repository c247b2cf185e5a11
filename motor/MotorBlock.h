#pragma once

// The motor data block (drive words 0x0210 to 0x0219) and the session opening of the
// motor setup, which leaves out the sync burst.

#include <array>
#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveCommands.h"
#include "link/MessageSink.h"
#include "motor/MotorFields.h"

namespace qx {

inline constexpr uint8_t kMotorBlockWords = 10;
inline constexpr uint16_t kMotorFlagsWord = 0x0217;

inline constexpr const char* kTextResetFails = "OrderCenter Reset Fails!";
inline constexpr const char* kTextConnectionFails = "Connection Setup Fails!";
inline constexpr const char* kTextFpgaReadFails = "FPGA Read Fails!";
inline constexpr const char* kTextFpgaWriteFails = "FPGA write Fails!";

// Opens `session` without the sync burst. With `messages`, a failure is reported as the
// reset or the connection set-up failing, whichever did.
uint32_t OpenMotorSession(Session& session, MessageSink* messages = nullptr);

// Reads the block into the fields and the current-loop words. Any failure clears
// driveConnected and is reported; only the first failure is.
uint32_t ReadMotorBlock(Session& session, MotorFields& fields, CurrentLoopModel& model,
                        MessageSink& messages);

// Writes the fields as they stand in three writes, each only if the one before worked.
uint32_t WriteMotorBlock(Session& session, const MotorFields& fields, const CurrentLoopModel& model,
                         MessageSink& messages);

// The ten words the block carries, in address order.
std::array<uint16_t, kMotorBlockWords> MotorBlockWords(const MotorFields& fields,
                                                       const CurrentLoopModel& model);

}  // namespace qx
