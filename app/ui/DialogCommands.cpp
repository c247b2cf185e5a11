#include "app/ui/DialogCommands.h"

#include "app/ui/CAboutDlg.h"
#include "app/ui/CommandIds.h"
#include "capture/ui/CCurrentCaptureSettingDlg.h"
#include "capture/ui/CCurrentLoopDlg.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/CPositionCaptureSettingDlg.h"
#include "capture/ui/CPositionLoopDlg.h"
#include "capture/ui/CSpeedCaptureSettingDlg.h"
#include "capture/ui/CSpeedLoopDlg.h"
#include "link/ui/CAboutServoDlg.h"
#include "link/ui/CPortSettingsDlg.h"
#include "link/ui/ComPortCommand.h"
#include "monitor/ui/CPortsStateDlg.h"
#include "monitor/ui/CServoStateDlg.h"
#include "motor/ui/CEncoderFixingDlg.h"
#include "motor/ui/CMotorSettingDlg.h"
#include "params/ui/ParamMenuCommands.h"

namespace qx::ui {

void RegisterDialogCommands(CQuendrixApp& app, GuiContext& context) {
    // COM
    const int comIds[] = {ID_COM1, ID_COM2, ID_COM3, ID_COM4};
    for (int n = 1; n <= 4; ++n) {
        app.setCommandHandler(comIds[n - 1], [&context, n](QWidget* mainWindow) {
            ChooseComPortCommand(context, mainWindow, n);
        });
    }
    app.setCommandHandler(ID_PORT_SETTINGS, ModalCommand<CPortSettingsDlg>(context));

    // Motor
    app.setCommandHandler(ID_MOTOR_BASIC_INFO, ModalCommand<CMotorSettingDlg>(context));
    app.setCommandHandler(ID_ENCODER_FIXING, ModalCommand<CEncoderFixingDlg>(context));
    // File: parameters and EEPROM
    app.setCommandHandler(ID_PARAM_SETTING, [&context](QWidget* mainWindow) {
        ParametersSettingMenuCommand(context, mainWindow);
    });
    app.setCommandHandler(ID_PARAM_UPLOAD, [&app, &context](QWidget* mainWindow) {
        ParametersUploadMenuCommand(app, context, mainWindow);
    });
    app.setCommandHandler(ID_PARAM_DOWNLOAD, [&app, &context](QWidget* mainWindow) {
        ParametersDownloadMenuCommand(app, context, mainWindow);
    });
    app.setCommandHandler(ID_SAVE_EEPROM, [&context](QWidget* mainWindow) {
        SaveToEepromMenuCommand(context, mainWindow);
    });
    app.setCommandHandler(ID_LOAD_DEFAULT, [&context](QWidget* mainWindow) {
        LoadDefaultMenuCommand(context, mainWindow);
    });

    // Capture
    app.setCommandHandler(ID_SET_CURRENT_CAPTURE, ModalCommand<CCurrentCaptureSettingDlg>(context));
    app.setCommandHandler(ID_SET_SPEED_CAPTURE, ModalCommand<CSpeedCaptureSettingDlg>(context));
    app.setCommandHandler(ID_SET_POSITION_CAPTURE,
                          ModalCommand<CPositionCaptureSettingDlg>(context));
    app.setCommandHandler(ID_CURRENT_LOOP_ADJUST, ModalCommand<CCurrentLoopDlg>(context));
    app.setCommandHandler(ID_SPEED_LOOP_ADJUST, ModalCommand<CSpeedLoopDlg>(context));
    app.setCommandHandler(ID_POSITION_LOOP_ADJUST, ModalCommand<CPositionLoopDlg>(context));
    // Monitor
    app.setCommandHandler(ID_SERVO_STATE, ModalCommand<CServoStateDlg>(context));
    app.setCommandHandler(ID_PORTS_STATE, ModalCommand<CPortsStateDlg>(context));
    app.setCommandHandler(ID_RANDOM_CAPTURE, ModalCommand<CNormalMonitorDlg>(context));

    // Tools
    app.setCommandHandler(ID_TOOLS_PARAM_TABLE, [&context](QWidget* mainWindow) {
        ParameterTableMenuCommand(context, mainWindow);
    });
    app.setCommandHandler(ID_TOOLS_PARAM_FILE, [&context](QWidget* mainWindow) {
        ParameterFileMenuCommand(context, mainWindow);
    });

    // Help
    app.setCommandHandler(ID_ABOUT_SERVO, ModalCommand<CAboutServoDlg>(context));
    app.setCommandHandler(ID_APP_ABOUT, ModalCommand<CAboutDlg>(context));
}

}  // namespace qx::ui
