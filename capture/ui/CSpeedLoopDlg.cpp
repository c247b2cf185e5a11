#include "capture/ui/CSpeedLoopDlg.h"

#include <QPushButton>

#include "capture/TuningEdits.h"
#include "ui_CSpeedLoopDlg.h"

namespace qx::ui {

namespace {

constexpr int kKp = 0;
constexpr int kTrc = 1;
constexpr int kSpeedFilter = 2;
constexpr int kOutputFilter = 3;

}  // namespace

CSpeedLoopDlg::CSpeedLoopDlg(GuiContext& context, QWidget* parent)
    : LoopTuningDialog(context, parent, CaptureKind::Speed),
      ui_(std::make_unique<Ui::CSpeedLoopDlg>()) {
    ui_->setupUi(this);
    setPlotControl(ui_->IDC_1151);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CSpeedLoopDlg::accept);
    const std::pair<CommitLineEdit*, DeltaSpin*> controls[] = {
        {ui_->IDC_1148, ui_->IDC_1149},
        {ui_->IDC_1090, ui_->IDC_1091},
        {ui_->IDC_1092, ui_->IDC_1093},
        {ui_->IDC_1094, ui_->IDC_1095},
    };
    for (int index = 0; index < 4; ++index) {
        wire(
            controls[index].first, controls[index].second,
            [this, index] {
                updateData(true);
                store(index);
                updateData(false);
            },
            [this, index](int delta) {
                updateData(true);
                gains_[index] -= delta;
                store(index);
                updateData(false);
            });
    }
}

CSpeedLoopDlg::~CSpeedLoopDlg() = default;

void CSpeedLoopDlg::doDataExchange(DataExchange& exchange) {
    exchange.text(ui_->IDC_1092, gains_[kSpeedFilter]);
    exchange.minMax(gains_[kSpeedFilter], 1, 1000);
    exchange.text(ui_->IDC_1094, gains_[kOutputFilter]);
    exchange.minMax(gains_[kOutputFilter], 1, 1000);
    exchange.text(ui_->IDC_1148, gains_[kKp]);
    exchange.minMax(gains_[kKp], 1, 65535);
    exchange.text(ui_->IDC_1090, gains_[kTrc]);
}

void CSpeedLoopDlg::takeGains(const LoopGains& gains) {
    for (std::size_t k = 0; k < gains_.size(); ++k) {
        gains_[k] = gains.words[k];
    }
}

void CSpeedLoopDlg::store(int index) {
    gains_[index] = ClampGain(CaptureKind::Speed, index, gains_[index]);
    LoopGains g;
    for (std::size_t k = 0; k < gains_.size(); ++k) {
        g.words[k] = gains_[k];
    }
    StoreGains(context().state(), CaptureKind::Speed, g);
}

}  // namespace qx::ui
