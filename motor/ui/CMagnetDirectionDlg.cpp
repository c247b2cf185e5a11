#include "motor/ui/CMagnetDirectionDlg.h"

#include <QPushButton>
#include <QRadioButton>

#include "ui_CMagnetDirectionDlg.h"

namespace qx::ui {

namespace {
constexpr int32_t kCounterClockwise = 0;
constexpr int32_t kClockwise = 1;
}  // namespace

CMagnetDirectionDlg::CMagnetDirectionDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent), ui_(std::make_unique<Ui::CMagnetDirectionDlg>()) {
    ui_->setupUi(this);
    connect(ui_->IDC_1196, &QRadioButton::clicked, this, [this] { choose(kCounterClockwise); });
    connect(ui_->IDC_1197, &QRadioButton::clicked, this, [this] { choose(kClockwise); });
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CMagnetDirectionDlg::accept);
}

CMagnetDirectionDlg::~CMagnetDirectionDlg() = default;

void CMagnetDirectionDlg::onInitDialog() {
    ui_->IDC_1->setEnabled(false);
}

void CMagnetDirectionDlg::choose(int32_t direction) {
    context().state().magnetDirectionAnswer = direction;
    ui_->IDC_1->setEnabled(true);
}

}  // namespace qx::ui
