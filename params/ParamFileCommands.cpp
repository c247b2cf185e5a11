#include "params/ParamFileCommands.h"

#include "params/ParamFile.h"

namespace qx {

namespace {

constexpr const char* kTitleNote = "Note";
constexpr const char* kTitleNotes = "NOTES";

CommandOutcome Report(uint32_t status, MessageSink& owner, const char* success,
                      const char* successTitle, const char* failure) {
    if (status != kStatusOk) {
        owner.show(failure, kTitleWarning);
        return CommandOutcome::Failed;
    }
    owner.show(success, successTitle);
    return CommandOutcome::Succeeded;
}

}  // namespace

CommandOutcome ParametersUploadCommand(DriveLink& link, ParamImage& image, MessageSink& owner,
                                       const PathChooser& chooseSavePath, std::string& lastPath) {
    if (UploadParams(link, image) != kStatusOk) {
        owner.show("Parameters Upload Fails!", kTitleWarning);
        return CommandOutcome::Failed;
    }
    const std::optional<std::string> path = chooseSavePath();
    if (!path) {
        return CommandOutcome::Cancelled;
    }
    lastPath = *path;
    if (const auto error = WriteParamFile(*path, image)) {
        owner.show(*error, kTitleWarning);
        return CommandOutcome::Failed;
    }
    owner.show("Uploading Parameters Succeeds!", kTitleNote);
    return CommandOutcome::Succeeded;
}

CommandOutcome ParametersDownloadCommand(DriveLink& link, ParamImage& image, MessageSink& owner,
                                         const PathChooser& chooseOpenPath, std::string& lastPath) {
    const std::optional<std::string> path = chooseOpenPath();
    if (!path) {
        return CommandOutcome::Cancelled;
    }
    lastPath = *path;
    if (const auto error = ReadParamFile(*path, image)) {
        owner.show(*error, kTitleWarning);
        return CommandOutcome::Failed;
    }
    return Report(DownloadParams(link, image), owner, "Downloading Parameters Succeeds!",
                  kTitleNote, "Downloading Parameters Fails!");
}

CommandOutcome SaveToEepromCommand(DriveLink& link, MessageSink& owner) {
    return Report(SaveParamsToEeprom(link), owner, "Save to EEPROM Succeeds!", kTitleNotes,
                  "Save to EEPROM Fails!");
}

CommandOutcome LoadDefaultCommand(DriveLink& link, MessageSink& owner) {
    return Report(LoadDefaultParams(link), owner,
                  "Loading Default Parameters from EEPROM Succeeds!", kTitleNotes,
                  "Loading Default Parameters from EEPROM Fails!");
}

void NoteDriveParamEvent(ParameterTableState& tableState, DriveParamEvent event,
                         CommandOutcome outcome) {
    const bool sent = outcome != CommandOutcome::Cancelled;
    const bool succeeded = outcome == CommandOutcome::Succeeded;
    switch (event) {
        case DriveParamEvent::NewConnection:
            tableState.parametersLoaded = 0;
            tableState.changeLog.clear();
            break;
        case DriveParamEvent::Download:
            if (sent) {
                tableState.parametersLoaded = 0;
            }
            // A download ends by storing the drive's parameters in its EEPROM.
            if (succeeded) {
                tableState.changeLog.markStoredInEeprom();
            }
            break;
        case DriveParamEvent::LoadDefault:
            if (sent) {
                tableState.parametersLoaded = 0;
            }
            break;
        case DriveParamEvent::SaveToEeprom:
            if (succeeded) {
                tableState.changeLog.markStoredInEeprom();
            }
            break;
    }
}

}  // namespace qx
