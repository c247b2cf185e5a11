#include "app/ui/GuiContext.h"

#include <QDialog>

#include "app/ui/MessageBoxSink.h"
#include "sim/SimDrive.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"

namespace qx::ui {

GuiContext::GuiContext(SharedState& state, Clock& clock, const PortMap& ports,
                       std::shared_ptr<sim::SimDrive> simDrive, bool paceSimulatedBytes)
    : state_(state), clock_(clock), simDrive_(std::move(simDrive)) {
    comMapping_.setCommandLine(ports);
    auto makeSimulated = [this, paceSimulatedBytes]() {
        if (!simDrive_) {
            simDrive_ = sim::MakeSimDrive({}, clock_.nowUs());
        }
        return std::make_unique<sim::SimPort>(simDrive_, clock_, paceSimulatedBytes);
    };
    link_ = std::make_unique<DriveLink>(state_.link, clock_,
                                        MakeMappedPortFactory(comMapping_, makeSimulated));
    messageSinkFactory_ = [](QWidget* owner) { return std::make_unique<MessageBoxSink>(owner); };
    dialogRunner_ = [](QDialog& dialog) { return dialog.exec(); };
    fileDialogRunner_ = RunFileDialog;
}

GuiContext::~GuiContext() = default;

namespace {

// Notes each box as the last operation's outcome, then shows it as `sink` does.
class OutcomeSink final : public MessageSink {
  public:
    using Note = std::function<void(const std::string&)>;
    OutcomeSink(std::unique_ptr<MessageSink> sink, Note note)
        : sink_(std::move(sink)), note_(std::move(note)) {}

    void show(const std::string& text, const std::string& title) override {
        note_(title + ": " + text);
        sink_->show(text, title);
    }
    void showDetailed(const std::string& text, const std::string& title,
                      const std::string& detail) override {
        note_(title + ": " + text);
        sink_->showDetailed(text, title, detail);
    }

  private:
    std::unique_ptr<MessageSink> sink_;
    Note note_;
};

}  // namespace

std::unique_ptr<MessageSink> GuiContext::messagesFor(QWidget* owner) {
    return std::make_unique<OutcomeSink>(messageSinkFactory_(owner), [this](const std::string& o) {
        const std::lock_guard<std::mutex> lock(outcomeMutex_);
        lastOutcome_ = o;
    });
}

std::string GuiContext::lastOutcome() const {
    const std::lock_guard<std::mutex> lock(outcomeMutex_);
    return lastOutcome_;
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
