#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class QTimer;

#include "app/ui/DataExchange.h"
#include "app/ui/GuiContext.h"

namespace qx::ui {

// The base of every dialog of the tool. Its form, drawn in dialog units for the
// templates' font, is laid out again in the units of its own font (DialogUnits.h) when it
// is prepared or polished. Opening it runs the data exchange into the controls and then
// onInitDialog(), which may end the dialog before it is ever seen
// (endDialog). OK reads and validates the controls (doDataExchange) and ends with 1;
// Cancel, Escape and the close box end with 2.
//
// A value refused while the focus is leaving an edit, or while a mouse button is down, is
// prompted for once that key or click has done its work: a click on Cancel or the close
// box closes the dialog without a prompt, a click on a button still presses it, and a
// prompt about a control that has meanwhile been disabled or hidden is dropped; a click
// on OK shows it first and then goes on (OK does not prompt for that control again). One
// refusal shows one box: none while another prompt is up, and a waiting prompt is dropped
// when another was shown before it.
class ModalDialog : public QDialog {
    Q_OBJECT

  public:
    ModalDialog(GuiContext& context, QWidget* parent);
    ~ModalDialog() override;

    // Runs the dialog's set-up as opening it does, without entering the modal loop (the
    // pictures program shows it this way). Returns false when the dialog ended itself
    // during the set-up; result() then holds its result. Runs once.
    bool prepare();
    // prepare(), then the modal loop unless the dialog already ended.
    int exec() override;
    // Ends the dialog with `result`; during onInitDialog() it will not be shown at all.
    void endDialog(int result);

    // Exchanges every control with its member: into the members (and validated) when
    // `saveAndValidate`, into the controls otherwise. False when a value was refused.
    bool updateData(bool saveAndValidate = true);
    // An exchange whose refusals are prompted for as this dialog's are, for a handler
    // that exchanges single controls.
    DataExchange exchange(bool saveAndValidate);
    // Shows the standard prompt for a value refused in `control` (see above), then gives
    // the control the focus.
    void promptRefusal(QWidget* control, const QString& prompt);

    GuiContext& context() { return context_; }
    // The message boxes of this dialog.
    std::unique_ptr<MessageSink> messages() { return context_.messagesFor(this); }

    void accept() override;
    void reject() override;

  protected:
    // Lays the form out in the units of the dialog's font before it is first shown
    // (polished), if prepare() has not done so already.
    bool event(QEvent* event) override;
    virtual void doDataExchange(DataExchange& exchange);
    virtual void onInitDialog();
    // OK: reads and validates, then ends with 1.
    virtual void onOK();
    // Cancel: ends with 2.
    virtual void onCancel();
    // Forgets a prompt still waiting: the fields it was about have been replaced.
    void dropWaitingPrompt();

  private:
    struct WaitingPrompt {
        QPointer<QWidget> control;
        QString prompt;
        uint64_t promptsShownBefore = 0;
    };
    void showWaitingPrompt();
    void showPrompt(QWidget* control, const QString& prompt);

    GuiContext& context_;
    std::optional<WaitingPrompt> waiting_;
    // The control whose refusal the OK under way has prompted for already.
    QPointer<QWidget> alreadyPrompted_;
    std::unique_ptr<QTimer> promptTimer_;
    std::unique_ptr<QObject> releaseWatch_;
    // Prompts shown by any dialog so far, and whether one is up now (one thread).
    static uint64_t promptsShown_;
    static bool promptUp_;
    bool prepared_ = false;
    bool inInit_ = false;
    bool endedEarly_ = false;
};

}  // namespace qx::ui
