#include "link/ui/CAboutServoDlg.h"

#include <QPushButton>

#include "link/MessageSink.h"
#include "ui_CAboutServoDlg.h"

namespace qx::ui {

CAboutServoDlg::CAboutServoDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent), ui_(std::make_unique<Ui::CAboutServoDlg>()) {
    ui_->setupUi(this);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CAboutServoDlg::accept);
}

CAboutServoDlg::~CAboutServoDlg() = default;

void CAboutServoDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1224, bootRomText_);
    exchange.text(ui_->IDC_1225, softwareText_);
    exchange.text(ui_->IDC_1226, fpgaText_);
}

void CAboutServoDlg::onInitDialog() {
    const DriveIdentity& identity = context().state().identity;
    if (identity.versionAccepted != 1) {
        messages()->show("Quendrix can't communicate with the servo!", kTitleWarning);
        endDialog(1);
        return;
    }
    bootRomText_ = QStringLiteral("The BootROM Version is %1.").arg(identity.bootRomVersion);
    softwareText_ = QStringLiteral("The Software Version is %1.").arg(identity.softwareVersion);
    fpgaText_ = QStringLiteral("The FPGA Version is %1.").arg(identity.fpgaVersion);
    updateData(false);
}

}  // namespace qx::ui
