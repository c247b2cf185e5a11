#include "app/ui/ModalDialog.h"

#include "app/ui/CommandIds.h"

namespace qx::ui {

ModalDialog::ModalDialog(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {}

ModalDialog::~ModalDialog() = default;

bool ModalDialog::prepare() {
    if (prepared_) {
        return !endedEarly_;
    }
    prepared_ = true;
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
    auto prompts = messages();
    DataExchange exchange(*prompts, saveAndValidate);
    doDataExchange(exchange);
    return !exchange.failed();
}

void ModalDialog::accept() {
    onOK();
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
