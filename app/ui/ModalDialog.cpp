#include "app/ui/ModalDialog.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "app/ui/AppInfo.h"
#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/DialogUnits.h"

namespace qx::ui {

namespace {

// Starts `timer` when a mouse button is let go, so that it runs once the widget under
// the pointer has had the release.
class ReleaseWatch final : public QObject {
  public:
    explicit ReleaseWatch(QTimer& timer) : timer_(timer) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            timer_.start();
        }
        return false;
    }

  private:
    QTimer& timer_;
};

}  // namespace

uint64_t ModalDialog::promptsShown_ = 0;
bool ModalDialog::promptUp_ = false;

ModalDialog::ModalDialog(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), promptTimer_(std::make_unique<QTimer>()) {
    // A timer rather than a queued call: it also fires inside an event loop that a
    // queued call (a test's, say) has started.
    promptTimer_->setSingleShot(true);
    promptTimer_->setInterval(0);
    connect(promptTimer_.get(), &QTimer::timeout, this, &ModalDialog::showWaitingPrompt);
}

ModalDialog::~ModalDialog() = default;

bool ModalDialog::event(QEvent* event) {
    if (event->type() == QEvent::Polish) {
        ApplyFontUnits(this);
    }
    return QDialog::event(event);
}

bool ModalDialog::prepare() {
    if (prepared_) {
        return !endedEarly_;
    }
    prepared_ = true;
    ApplyFontUnits(this);
    inInit_ = true;
    updateData(false);
    onInitDialog();
    inInit_ = false;
    return !endedEarly_;
}

int ModalDialog::exec() {
    if (!prepare()) {
        return result();
    }
    return QDialog::exec();
}

void ModalDialog::endDialog(int result) {
    if (inInit_) {
        endedEarly_ = true;
        setResult(result);
        return;
    }
    done(result);
}

bool ModalDialog::updateData(bool saveAndValidate) {
    DataExchange x = exchange(saveAndValidate);
    doDataExchange(x);
    return !x.failed();
}

DataExchange ModalDialog::exchange(bool saveAndValidate) {
    return DataExchange(
        [this](QWidget* control, const QString& prompt) { promptRefusal(control, prompt); },
        saveAndValidate);
}

void ModalDialog::promptRefusal(QWidget* control, const QString& prompt) {
    if (promptUp_) {
        return;  // the box on screen is about this entry already
    }
    if (control != nullptr && control == alreadyPrompted_) {
        DataExchange::FocusRefused(control);
        return;
    }
    const bool midAction =
        CommitLineEdit::Leaving() || QGuiApplication::mouseButtons() != Qt::NoButton;
    if (!midAction) {
        showPrompt(control, prompt);
        return;
    }
    if (!waiting_) {
        waiting_ = WaitingPrompt{control, prompt, promptsShown_};
        promptTimer_->start();
    }
}

void ModalDialog::showWaitingPrompt() {
    if (!waiting_) {
        return;
    }
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        // The click that moved the focus is still under way: the release decides it.
        if (!releaseWatch_) {
            releaseWatch_ = std::make_unique<ReleaseWatch>(*promptTimer_);
        }
        return;
    }
    const WaitingPrompt w = *waiting_;
    dropWaitingPrompt();
    const bool stillAsked = isVisible() && w.promptsShownBefore == promptsShown_ &&
                            w.control != nullptr && w.control->isVisible() &&
                            w.control->isEnabled();
    if (stillAsked) {
        showPrompt(w.control, w.prompt);
    }
}

void ModalDialog::showPrompt(QWidget* control, const QString& prompt) {
    ++promptsShown_;
    promptUp_ = true;
    // The box taking the activation, and the focus going back to the refused control,
    // are no new entries to check.
    CommitLineEdit::Hold hold;
    messages()->show(prompt.toStdString(), kAppTitle);
    DataExchange::FocusRefused(control);
    promptUp_ = false;
}

void ModalDialog::dropWaitingPrompt() {
    waiting_.reset();
    releaseWatch_.reset();
    promptTimer_->stop();
}

void ModalDialog::accept() {
    QPointer<QWidget> prompted;
    if (waiting_) {
        // The click on OK left a refused field: its prompt comes first, then OK does what
        // it does, without prompting for that field a second time.
        const WaitingPrompt w = *waiting_;
        dropWaitingPrompt();
        if (w.promptsShownBefore == promptsShown_ && w.control != nullptr) {
            showPrompt(w.control, w.prompt);
            prompted = w.control;
        }
    }
    alreadyPrompted_ = prompted;
    onOK();
    alreadyPrompted_ = nullptr;
}

void ModalDialog::reject() {
    onCancel();
}

void ModalDialog::doDataExchange(DataExchange& /*exchange*/) {}

void ModalDialog::onInitDialog() {}

void ModalDialog::onOK() {
    if (updateData(true)) {
        endDialog(kIdOk);
    }
}

void ModalDialog::onCancel() {
    endDialog(kIdCancel);
}

}  // namespace qx::ui
