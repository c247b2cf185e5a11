#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

namespace qx::ui {

// One entry of the main window's menu: a command, a separator or a popup with entries
// of its own. Captions are kept exactly, with their runs of blanks and mnemonics.
struct MenuEntry {
    enum class Kind { Command, Separator, Popup };

    Kind kind = Kind::Command;
    QString caption;
    int id = 0;
    std::vector<MenuEntry> entries;

    static MenuEntry Command(const char* caption, int id);
    static MenuEntry Separator();
    static MenuEntry Popup(const char* caption, std::vector<MenuEntry> entries);
};

// The menu bar of the main window, left to right.
const std::vector<MenuEntry>& MainMenu();

// A key table entry: every key that sends `id`.
struct Accelerator {
    int id = 0;
    QList<QKeySequence> keys;
};

// The main window's accelerator table.
const std::vector<Accelerator>& MainAccelerators();

}  // namespace qx::ui
