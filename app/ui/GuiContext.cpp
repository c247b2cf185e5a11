#include "app/ui/GuiContext.h"

#include <QDialog>

#include "app/ui/MessageBoxSink.h"
#include "sim/SimDrive.h"
#include "sim/SimPort.h"

namespace qx::ui {

GuiContext::GuiContext(SharedState& state, Clock& clock, const PortMap& ports,
                       std::shared_ptr<sim::SimDrive> simDrive, bool paceSimulatedBytes)
    : state_(state), clock_(clock), simDrive_(std::move(simDrive)) {
    std::function<std::unique_ptr<SerialPort>()> makeSimulated;
    if (simDrive_) {
        makeSimulated = [drive = simDrive_, &clock, paceSimulatedBytes]() {
            return std::make_unique<sim::SimPort>(drive, clock, paceSimulatedBytes);
        };
    }
    link_ = std::make_unique<DriveLink>(state_.link, clock_,
                                        MakePortFactory(ports, std::move(makeSimulated)));
    messageSinkFactory_ = [](QWidget* owner) { return std::make_unique<MessageBoxSink>(owner); };
    dialogRunner_ = [](QDialog& dialog) { return dialog.exec(); };
    fileDialogRunner_ = RunFileDialog;
}

GuiContext::~GuiContext() = default;

std::unique_ptr<MessageSink> GuiContext::messagesFor(QWidget* owner) {
    return messageSinkFactory_(owner);
}

int GuiContext::runModal(QDialog& dialog) {
    return dialogRunner_(dialog);
}

std::optional<QString> GuiContext::askFileName(const FileDialogRequest& request) {
    return fileDialogRunner_(request);
}

void GuiContext::setMessageSinkFactory(MessageSinkFactory factory) {
    messageSinkFactory_ = std::move(factory);
}

void GuiContext::setDialogRunner(DialogRunner runner) {
    dialogRunner_ = std::move(runner);
}

void GuiContext::setFileDialogRunner(FileDialogRunner runner) {
    fileDialogRunner_ = std::move(runner);
}

}  // namespace qx::ui
