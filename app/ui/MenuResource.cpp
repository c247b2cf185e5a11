#include "app/ui/MenuResource.h"

#include "app/ui/CommandIds.h"

namespace qx::ui {

MenuEntry MenuEntry::Command(const char* caption, int id) {
    return MenuEntry{Kind::Command, QString::fromLatin1(caption), id, {}};
}

MenuEntry MenuEntry::Separator() {
    return MenuEntry{Kind::Separator, {}, 0, {}};
}

MenuEntry MenuEntry::Popup(const char* caption, std::vector<MenuEntry> entries) {
    return MenuEntry{Kind::Popup, QString::fromLatin1(caption), 0, std::move(entries)};
}

const std::vector<MenuEntry>& MainMenu() {
    using E = MenuEntry;
    // The blanks inside and after the captions are part of them: the engineers line the
    // items up by eye.
    static const std::vector<MenuEntry> menu = {
        E::Popup("&File",
                 {
                     E::Command("Load Default ", ID_LOAD_DEFAULT),
                     E::Separator(),
                     E::Command("Save to EEPROM", ID_SAVE_EEPROM),
                     E::Separator(),
                     E::Command("Parameters Setting...", ID_PARAM_SETTING),
                     E::Command("Parameters Upload...", ID_PARAM_UPLOAD),
                     E::Command("Parameters Download...", ID_PARAM_DOWNLOAD),
                     E::Separator(),
                     E::Command("E&xit", ID_APP_EXIT),
                 }),
        E::Popup("COM",
                 {
                     E::Command("COM1", ID_COM1),
                     E::Command("COM2", ID_COM2),
                     E::Command("COM3", ID_COM3),
                     E::Command("COM4", ID_COM4),
                     E::Separator(),
                     E::Command("Port Settings...", ID_PORT_SETTINGS),
                 }),
        E::Popup("Monitor",
                 {
                     E::Command("Servo State...", ID_SERVO_STATE),
                     E::Command("Ports State...", ID_PORTS_STATE),
                 }),
        E::Popup(
            "&Capture",
            {
                E::Popup("Setting...",
                         {
                             E::Command("Setting Current  Capture... ", ID_SET_CURRENT_CAPTURE),
                             E::Command("Setting Speed    Capture...", ID_SET_SPEED_CAPTURE),
                             E::Command("Setting Position Capture...", ID_SET_POSITION_CAPTURE),
                         }),
                E::Separator(),
                E::Command("Current  Loop Adjust...", ID_CURRENT_LOOP_ADJUST),
                E::Command("Speed    Loop Adjust...", ID_SPEED_LOOP_ADJUST),
                E::Command("Position Loop Adjust...", ID_POSITION_LOOP_ADJUST),
                E::Separator(),
                E::Command("Random Capture...", ID_RANDOM_CAPTURE),
            }),
        E::Popup("&Motor",
                 {
                     E::Command("Basic    Information...", ID_MOTOR_BASIC_INFO),
                     E::Separator(),
                     E::Command("Encoder  Fixing...", ID_ENCODER_FIXING),
                 }),
        E::Popup("&Tools",
                 {
                     E::Command("Parameter Table...", ID_TOOLS_PARAM_TABLE),
                     E::Command("Parameter File...", ID_TOOLS_PARAM_FILE),
                 }),
        E::Popup("&Help",
                 {
                     E::Command("&About Servo...", ID_ABOUT_SERVO),
                     E::Command("&About Quendrix...", ID_APP_ABOUT),
                 }),
    };
    return menu;
}

const std::vector<Accelerator>& MainAccelerators() {
    static const std::vector<Accelerator> table = {
        {ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)}},
        {ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)}},
        {ID_EDIT_UNDO,
         {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)}},
        {ID_EDIT_CUT,
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {ID_EDIT_COPY,
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {ID_EDIT_PASTE,
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
        {ID_NEXT_PANE, {QKeySequence(Qt::Key_F6)}},
        {ID_PREV_PANE, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}},
    };
    return table;
}

}  // namespace qx::ui
