#pragma once

#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiContext.h"

namespace qx::ui {

// Hooks every menu command of the tool's own into the application's routing. Each
// subsystem adds its commands here.
void RegisterDialogCommands(CQuendrixApp& app, GuiContext& context);

// The handler of a plain dialog command: construct the dialog with the main window as
// parent, run it modally, ignore its result, destroy it.
template <typename Dialog>
CQuendrixApp::CommandHandler ModalCommand(GuiContext& context) {
    return [&context](QWidget* mainWindow) {
        Dialog dialog(context, mainWindow);
        context.runModal(dialog);
    };
}

}  // namespace qx::ui
