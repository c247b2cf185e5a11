#pragma once

#include <QDialog>
#include <memory>

#include "app/ui/DataExchange.h"
#include "app/ui/GuiContext.h"

namespace qx::ui {

// The base of every dialog of the tool. Opening it runs the data exchange into the
// controls and then onInitDialog(), which may end the dialog before it is ever seen
// (endDialog). OK reads and validates the controls (doDataExchange) and ends with 1;
// Cancel, Escape and the close box end with 2.
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

    GuiContext& context() { return context_; }
    // The message boxes of this dialog.
    std::unique_ptr<MessageSink> messages() { return context_.messagesFor(this); }

    void accept() override;
    void reject() override;

  protected:
    virtual void doDataExchange(DataExchange& exchange);
    virtual void onInitDialog();
    // OK: reads and validates, then ends with 1.
    virtual void onOK();
    // Cancel: ends with 2.
    virtual void onCancel();

  private:
    GuiContext& context_;
    bool prepared_ = false;
    bool inInit_ = false;
    bool endedEarly_ = false;
};

}  // namespace qx::ui
