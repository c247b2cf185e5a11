#include "monitor/ui/CServoStateDlg.h"

#include <QPushButton>

#include "app/ui/WaitCursor.h"
#include "monitor/StatusWords.h"
#include "ui_CServoStateDlg.h"

namespace qx::ui {

CServoStateDlg::CServoStateDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CServoStateDlg>()),
      monitor_(context.link(), context.state().driveStatus) {
    ui_->setupUi(this);
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CServoStateDlg::reject);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &CServoStateDlg::refresh);
}

CServoStateDlg::~CServoStateDlg() {
    stopMonitor();
}

void CServoStateDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1196, values_.torque);
    exchange.text(ui_->IDC_1197, values_.speed);
    exchange.text(ui_->IDC_1201, values_.position);
    exchange.text(ui_->IDC_1208, values_.positionError);
    exchange.text(ui_->IDC_1198, values_.torqueInstruction);
    exchange.text(ui_->IDC_1199, values_.speedInstruction);
    exchange.text(ui_->IDC_1204, values_.positionInstruction);
    exchange.text(ui_->IDC_1209, values_.speedError);
    exchange.text(ui_->IDC_1210, values_.alarmNumber);
    exchange.text(ui_->IDC_1211, values_.dcBus);
}

void CServoStateDlg::onInitDialog() {
    refreshTimer_.start();
    SharedState& state = context().state();
    auto owner = messages();
    monitor_.start(*owner);
    const bool dcBus = ShowsDcBus(state.identity.softwareVersion);
    ui_->IDC_1237->setVisible(dcBus);
    ui_->IDC_1211->setVisible(dcBus);
}

void CServoStateDlg::refresh() {
    if (monitor_.waiting()) {
        // A thread an earlier monitor left behind is still on the link.
        auto owner = messages();
        monitor_.start(*owner);
    }
    const SharedState& state = context().state();
    if (state.link.driveConnected != 1) {
        return;
    }
    values_ = ComputeServoStateValues(LoadStatusWords(state.driveStatus));
    updateData(false);
}

void CServoStateDlg::done(int result) {
    stopMonitor();
    ModalDialog::done(result);
}

void CServoStateDlg::stopMonitor() {
    refreshTimer_.stop();
    if (monitor_.started()) {
        // Before anything else, so that the poll under way is the last one.
        monitor_.requestStop();
        WaitCursor busy;
        monitor_.stop();
    }
}

}  // namespace qx::ui
