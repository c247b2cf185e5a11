#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "params/ParamTransfer.h"

namespace qx {

enum class CommandOutcome { Succeeded, Failed, Cancelled };

// Asks the user for a file; nothing when the dialog was cancelled.
using PathChooser = std::function<std::optional<std::string>()>;

inline constexpr const char* kParamFileFilter = "Servo Parameters File(*.par)|*.par||";
inline constexpr const char* kParamFileSuffix = "par";

// The four parameter commands of the File menu, with their messages to `owner` (the
// main window). `lastPath` is where the path last chosen in a file dialog is kept.

// "Parameters Upload...": upload, then ask where to save and write the file.
CommandOutcome ParametersUploadCommand(DriveLink& link, ParamImage& image, MessageSink& owner,
                                       const PathChooser& chooseSavePath, std::string& lastPath);
// "Parameters Download...": ask for a file, read it, download it. A file that cannot be
// read or is not exactly 1024 bytes is reported and nothing is sent.
CommandOutcome ParametersDownloadCommand(DriveLink& link, ParamImage& image, MessageSink& owner,
                                         const PathChooser& chooseOpenPath, std::string& lastPath);
// "Save to EEPROM".
CommandOutcome SaveToEepromCommand(DriveLink& link, MessageSink& owner);
// "Load Default ".
CommandOutcome LoadDefaultCommand(DriveLink& link, MessageSink& owner);

// What the cached table and the change log make of a command that changed the drive's
// parameters without the cache, or of a new connection: the cache then counts as not
// loaded, so the next window that needs it loads it afresh from the drive.
enum class DriveParamEvent { NewConnection, Download, LoadDefault, SaveToEeprom };
void NoteDriveParamEvent(ParameterTableState& tableState, DriveParamEvent event,
                         CommandOutcome outcome = CommandOutcome::Succeeded);

}  // namespace qx
