#pragma once

// Command ids of the main window's menu and accelerators. The numbers are the ones the
// drive's engineers know from the menu resource; later dialogs hook in by these names.

namespace qx::ui {

enum CommandId : int {
    // File
    ID_LOAD_DEFAULT = 32805,
    ID_SAVE_EEPROM = 32797,
    ID_PARAM_SETTING = 32803,
    ID_PARAM_UPLOAD = 32772,
    ID_PARAM_DOWNLOAD = 32793,
    ID_APP_EXIT = 57665,

    // COM
    ID_COM1 = 32798,
    ID_COM2 = 32799,
    ID_COM3 = 32800,
    ID_COM4 = 32801,
    // Beside the COM ports: which device each opens
    ID_PORT_SETTINGS = 32840,

    // Monitor
    ID_SERVO_STATE = 32795,
    ID_PORTS_STATE = 32796,

    // Capture, with its "Setting..." submenu
    ID_SET_CURRENT_CAPTURE = 32790,
    ID_SET_SPEED_CAPTURE = 32791,
    ID_SET_POSITION_CAPTURE = 32792,
    ID_CURRENT_LOOP_ADJUST = 32773,
    ID_SPEED_LOOP_ADJUST = 32774,
    ID_POSITION_LOOP_ADJUST = 32775,
    ID_RANDOM_CAPTURE = 32782,

    // Motor
    ID_MOTOR_BASIC_INFO = 32784,
    ID_ENCODER_FIXING = 32802,

    // Tools: the parameter workbench, numbered apart from every command above
    ID_TOOLS_PARAM_TABLE = 33100,
    ID_TOOLS_PARAM_FILE = 33101,

    // Help
    ID_ABOUT_SERVO = 32804,
    ID_APP_ABOUT = 57664,

    // Accelerator-only commands
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_CUT = 57635,
    ID_EDIT_COPY = 57634,
    ID_EDIT_PASTE = 57637,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
};

// "ID_COM1" for ID_COM1 and so on; empty for a number that is no command.
const char* CommandIdName(int id);

// Dialog result codes, as a dialog's OK and Cancel buttons end it.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

}  // namespace qx::ui
