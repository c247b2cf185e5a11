#include "app/ui/CommandIds.h"

#include <array>
#include <utility>

namespace qx::ui {

namespace {

#define QX_COMMAND(name) std::pair<int, const char*>(name, #name)

constexpr std::array kCommandNames = {
    QX_COMMAND(ID_LOAD_DEFAULT),
    QX_COMMAND(ID_SAVE_EEPROM),
    QX_COMMAND(ID_PARAM_SETTING),
    QX_COMMAND(ID_PARAM_UPLOAD),
    QX_COMMAND(ID_PARAM_DOWNLOAD),
    QX_COMMAND(ID_APP_EXIT),
    QX_COMMAND(ID_COM1),
    QX_COMMAND(ID_COM2),
    QX_COMMAND(ID_COM3),
    QX_COMMAND(ID_COM4),
    QX_COMMAND(ID_PORT_SETTINGS),
    QX_COMMAND(ID_SERVO_STATE),
    QX_COMMAND(ID_PORTS_STATE),
    QX_COMMAND(ID_SET_CURRENT_CAPTURE),
    QX_COMMAND(ID_SET_SPEED_CAPTURE),
    QX_COMMAND(ID_SET_POSITION_CAPTURE),
    QX_COMMAND(ID_CURRENT_LOOP_ADJUST),
    QX_COMMAND(ID_SPEED_LOOP_ADJUST),
    QX_COMMAND(ID_POSITION_LOOP_ADJUST),
    QX_COMMAND(ID_RANDOM_CAPTURE),
    QX_COMMAND(ID_MOTOR_BASIC_INFO),
    QX_COMMAND(ID_ENCODER_FIXING),
    QX_COMMAND(ID_TOOLS_PARAM_TABLE),
    QX_COMMAND(ID_TOOLS_PARAM_FILE),
    QX_COMMAND(ID_ABOUT_SERVO),
    QX_COMMAND(ID_APP_ABOUT),
    QX_COMMAND(ID_FILE_NEW),
    QX_COMMAND(ID_FILE_OPEN),
    QX_COMMAND(ID_FILE_SAVE),
    QX_COMMAND(ID_EDIT_UNDO),
    QX_COMMAND(ID_EDIT_CUT),
    QX_COMMAND(ID_EDIT_COPY),
    QX_COMMAND(ID_EDIT_PASTE),
    QX_COMMAND(ID_NEXT_PANE),
    QX_COMMAND(ID_PREV_PANE),
};

#undef QX_COMMAND

}  // namespace

const char* CommandIdName(int id) {
    for (const auto& [number, name] : kCommandNames) {
        if (number == id) {
            return name;
        }
    }
    return "";
}

}  // namespace qx::ui
