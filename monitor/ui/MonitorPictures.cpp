#include "monitor/ui/MonitorPictures.h"

#include <optional>

#include "app/ui/Pictures.h"
#include "monitor/StatusPoll.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"
#include "sim/SimDrive.h"

namespace qx::ui {

namespace {

// A drive recent enough to report its DC bus voltage.
constexpr uint16_t kDcBusSoftwareVersion = 1003;

// Connects as COM1 does (as a drive of `softwareVersion`, when given) and polls the
// status once, on this thread, before any monitor thread owns the link.
void ConnectAndPoll(PictureStage& stage, std::optional<uint16_t> softwareVersion) {
    sim::SimDrive* drive = stage.context().simulatedDrive();
    std::optional<sim::DriveConfig> saved;
    if (drive != nullptr && softwareVersion) {
        saved = drive->config();
        sim::DriveConfig shown = *saved;
        shown.softwareVersion = *softwareVersion;
        drive->setVersions(shown);
    }
    stage.connectDrive();
    if (saved) {
        drive->setVersions(*saved);
    }
    RunStatusPoll(stage.context().link(), stage.context().state().driveStatus);
}

}  // namespace

QWidget* ServoStatePicture(PictureStage& stage) {
    ConnectAndPoll(stage, kDcBusSoftwareVersion);
    auto* dialog = new CServoStateDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    dialog->stopMonitor();
    dialog->refresh();
    return dialog;
}

QWidget* PortsStatePicture(PictureStage& stage) {
    ConnectAndPoll(stage, std::nullopt);
    auto* dialog = new CPortsStateDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    dialog->stopMonitor();
    dialog->redraw();
    return dialog;
}

}  // namespace qx::ui
