#include "motor/ui/MotorPictures.h"

#include "app/ui/GuiContext.h"
#include "app/ui/Pictures.h"
#include "motor/MatchSteps.h"
#include "motor/MotorFields.h"
#include "motor/ui/CEncoderFixingDlg.h"
#include "motor/ui/CMagnetDirectionDlg.h"
#include "motor/ui/CMotorSettingDlg.h"
#include "sim/SimDrive.h"

namespace qx::ui {

namespace {

// A 2.5 A motor with 4 pole pairs and a 10000-pulse standard encoder, as the drive holds it.
void PutTypicalBlock(PictureStage& stage) {
    sim::SimDrive* drive = stage.context().simulatedDrive();
    if (drive == nullptr) {
        return;
    }
    const uint16_t block[10] = {320, 4, 3328, 1843, 1536, 2000, 0, 0x0001, 10000, 1234};
    for (uint16_t k = 0; k < 10; ++k) {
        drive->write(0x0210 + k, block[k]);
    }
}

}  // namespace

QWidget* MotorSettingPicture(PictureStage& stage) {
    stage.connectDrive();
    PutTypicalBlock(stage);
    auto* dialog = new CMotorSettingDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    return dialog;
}

QWidget* MotorMatchingPicture(PictureStage& stage) {
    stage.connectDrive();
    PutTypicalBlock(stage);
    auto* dialog = new CMotorSettingDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    // Halfway: the encoder type, directions and Z type found, the pole pairs not yet.
    MotorFields f = dialog->fields();
    f.magnetDirection = 1;
    f.encoderType = kEncoderStandard;
    f.pulseDirection = 0;
    f.zPulseType = 1;
    f.uvwDirection = 0;
    f.polePairs = 4;
    f.pulseNumber = 65535;
    f.encoderOffset = 0;
    f.message = "Detecting the polepairs' number and encoder's offset...";
    dialog->showMatchProgress(50, f);
    return dialog;
}

QWidget* EncoderFixingPicture(PictureStage& stage) {
    stage.connectDrive();
    if (sim::SimDrive* drive = stage.context().simulatedDrive()) {
        drive->write(0x0011, 23817);
        drive->write(0x0012, 0x0001);
    }
    auto* dialog = new CEncoderFixingDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    dialog->poll();
    return dialog;
}

QWidget* MagnetDirectionPicture(PictureStage& stage) {
    auto* dialog = new CMagnetDirectionDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    return dialog;
}

}  // namespace qx::ui
