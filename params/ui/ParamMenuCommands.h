#pragma once

class QWidget;

namespace qx::ui {

class CQuendrixApp;
class GuiContext;

// The parameter commands of the File menu; their boxes belong to `mainWindow`.

// "Parameters Setting...": loads the table when needed, then runs the editor.
void ParametersSettingMenuCommand(GuiContext& context, QWidget* mainWindow);
// "Tools > Parameter Table...": as "Parameters Setting...", with the Parameter Table
// in place of the editor.
void ParameterTableMenuCommand(GuiContext& context, QWidget* mainWindow);
// "Tools > Parameter File...": asks for a parameter file and shows it without a drive.
void ParameterFileMenuCommand(GuiContext& context, QWidget* mainWindow);
// "Parameters Upload..." and "Parameters Download...": remember the chosen path in the
// application object.
void ParametersUploadMenuCommand(CQuendrixApp& app, GuiContext& context, QWidget* mainWindow);
void ParametersDownloadMenuCommand(CQuendrixApp& app, GuiContext& context, QWidget* mainWindow);
// "Save to EEPROM" and "Load Default ".
void SaveToEepromMenuCommand(GuiContext& context, QWidget* mainWindow);
void LoadDefaultMenuCommand(GuiContext& context, QWidget* mainWindow);

}  // namespace qx::ui
