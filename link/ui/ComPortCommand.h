#pragma once

class QWidget;

namespace qx::ui {

class GuiContext;

// "COM1" to "COM4": opens the port, probes it and, when a drive answered, connects to
// it and identifies it. The user-interface thread blocks meanwhile (wait cursor); the
// boxes belong to the main window.
void ChooseComPortCommand(GuiContext& context, QWidget* mainWindow, int portNumber);

}  // namespace qx::ui
