#include "link/ui/ComPortCommand.h"

#include "app/ui/GuiContext.h"
#include "app/ui/WaitCursor.h"
#include "link/ConnectDrive.h"
#include "params/ParamFileCommands.h"

namespace qx::ui {

void ChooseComPortCommand(GuiContext& context, QWidget* mainWindow, int portNumber) {
    const auto owner = context.messagesFor(mainWindow);
    const WaitCursor wait;
    ChooseComPort(context.link(), context.state().identity, *owner, portNumber);
    NoteDriveParamEvent(context.state().parameterTable, DriveParamEvent::NewConnection);
}

}  // namespace qx::ui
