#pragma once

// What every dialog of the window program is given: the shared records, the drive link,
// message boxes, and the ways it opens modal dialogs and file dialogs. Tests swap the
// last three for recorders.
//
// Dialog conventions, kept by every dialog:
// - A dialog template is a Designer form resources/<DialogClass>.ui whose dynamic
//   property "templateId" is the template number. Its pixel geometry is the template's
//   dialog units at 1.5 px across and 1.625 px down; ModalDialog lays it out again in the
//   units of the dialog's font (DialogUnits.h) before it is shown.
// - A control with an id has the object name "IDC_<decimal id>", OK being "IDC_1" and
//   Cancel "IDC_2"; FindControl() finds it by number. Labels without an id get a
//   readable name.
// - Dialogs derive from ModalDialog: data exchange in doDataExchange() with the standard
//   range prompts (DataExchange), set-up in onInitDialog(), results 1 (OK) and 2 (Cancel).
// - An edit that acts when it loses the focus is a CommitLineEdit (signal committed());
//   an up-down arrow pair without a buddy is a DeltaSpin (signal deltaPos(delta), the up
//   arrow giving -1, so handlers do value -= delta * step).
// - Boxes raised inside a dialog come from messagesFor(dialog); those of a menu command
//   from messagesFor(main window).

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/SharedState.h"
#include "app/ui/FileDialogs.h"
#include "link/Clock.h"
#include "link/ComMapping.h"
#include "link/DriveLink.h"
#include "link/MessageSink.h"
#include "link/PortMap.h"

class QDialog;
class QWidget;

namespace qx::sim {
class SimDrive;
}

namespace qx::ui {

class GuiContext {
  public:
    using MessageSinkFactory = std::function<std::unique_ptr<MessageSink>(QWidget* owner)>;
    using DialogRunner = std::function<int(QDialog& dialog)>;
    using FileDialogRunner = std::function<std::optional<QString>(const FileDialogRequest&)>;

    // A link whose COM ports follow `comMapping()`, the command line's `ports` winning;
    // "sim" ports reach `simDrive` (a default one is made when none is given and a port
    // is set to it). The records and the clock must outlive the context.
    GuiContext(SharedState& state, Clock& clock, const PortMap& ports,
               std::shared_ptr<sim::SimDrive> simDrive, bool paceSimulatedBytes = false);
    ~GuiContext();
    GuiContext(const GuiContext&) = delete;
    GuiContext& operator=(const GuiContext&) = delete;

    SharedState& state() { return state_; }
    DriveLink& link() { return *link_; }
    Clock& clock() { return clock_; }
    // The built-in simulated drive, or null when the program runs without one.
    sim::SimDrive* simulatedDrive() { return simDrive_.get(); }
    // Which device each COM port reaches.
    ComMapping& comMapping() { return comMapping_; }

    // "Title: text" of the last message box shown, empty before the first.
    std::string lastOutcome() const;

    // The message boxes of `owner`: exclamation icon, OK, the caller's title.
    std::unique_ptr<MessageSink> messagesFor(QWidget* owner);
    // Runs a dialog modally and returns its result (QDialog::exec unless swapped).
    int runModal(QDialog& dialog);
    // Asks for a file name; nothing when the user cancelled.
    std::optional<QString> askFileName(const FileDialogRequest& request);

    void setMessageSinkFactory(MessageSinkFactory factory);
    void setDialogRunner(DialogRunner runner);
    void setFileDialogRunner(FileDialogRunner runner);

  private:
    SharedState& state_;
    Clock& clock_;
    std::shared_ptr<sim::SimDrive> simDrive_;
    ComMapping comMapping_;
    std::unique_ptr<DriveLink> link_;
    mutable std::mutex outcomeMutex_;
    std::string lastOutcome_;
    MessageSinkFactory messageSinkFactory_;
    DialogRunner dialogRunner_;
    FileDialogRunner fileDialogRunner_;
};

}  // namespace qx::ui
