#include "motor/ui/CEncoderFixingDlg.h"

#include <QPushButton>

#include "app/ui/CommitLineEdit.h"
#include "app/ui/DeltaSpin.h"
#include "motor/EncoderFixing.h"
#include "ui_CEncoderFixingDlg.h"

namespace qx::ui {

CEncoderFixingDlg::CEncoderFixingDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CEncoderFixingDlg>()),
      session_(context.link()),
      freezeCurrent_(kDefaultFreezeCurrentA) {
    ui_->setupUi(this);
    timer_.setInterval(static_cast<int>(kRotorPollPeriodMs));
    connect(&timer_, &QTimer::timeout, this, &CEncoderFixingDlg::poll);
    // Every change the user makes is committed at once, so a freeze always uses what
    // the edit shows.
    connect(ui_->IDC_1198, &QLineEdit::textEdited, this, &CEncoderFixingDlg::commitFreezeCurrent);
    connect(ui_->IDC_1197, &DeltaSpin::deltaPos, this, [this](int delta) {
        freezeCurrent_ = kFreezeCurrentRange.clamp(freezeCurrent_ - delta);
        updateData(false);
    });
    connect(ui_->IDC_32802, &QPushButton::clicked, this,
            [this] { FreezeRotor(session_, freezeCurrent_); });
    connect(ui_->IDC_32803, &QPushButton::clicked, this, [this] { ServoOff(session_); });
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CEncoderFixingDlg::reject);
}

CEncoderFixingDlg::~CEncoderFixingDlg() = default;

void CEncoderFixingDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1198, freezeCurrent_);
    exchange.minMax(freezeCurrent_, kFreezeCurrentRange.min, kFreezeCurrentRange.max);
    exchange.text(ui_->IDC_1200, rotorPosition_);
}

void CEncoderFixingDlg::onInitDialog() {
    timer_.start();
}

void CEncoderFixingDlg::commitFreezeCurrent() {
    if (committing_) {
        return;  // the prompt of a refused value took the focus
    }
    committing_ = true;
    const int lastValid = freezeCurrent_;
    if (!updateData(true)) {
        freezeCurrent_ = lastValid;
    }
    committing_ = false;
}

void CEncoderFixingDlg::poll() {
    // Without an open port nothing can answer: skip the exchanges rather than block the
    // window for their budgets five times a second.
    rotorPosition_ =
        context().state().link.portOpen == 1 ? ReadRotorPosition(session_) : kRotorPositionUnknown;
    updateData(false);
}

}  // namespace qx::ui
