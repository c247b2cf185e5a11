#include "app/ui/CAboutDlg.h"

#include <QPushButton>

#include "app/ui/AppIcon.h"
#include "ui_CAboutDlg.h"

namespace qx::ui {

CAboutDlg::CAboutDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
    ui_->setupUi(this);
    ui_->iconLabel->setPixmap(AppIcon().pixmap(32, 32));
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CAboutDlg::accept);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace qx::ui
