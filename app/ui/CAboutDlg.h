#pragma once

#include <memory>

#include "app/ui/ModalDialog.h"

namespace Ui {
class CAboutDlg;
}

namespace qx::ui {

// "About Quendrix": the icon, the version and OK.
class CAboutDlg : public ModalDialog {
    Q_OBJECT

  public:
    CAboutDlg(GuiContext& context, QWidget* parent);
    ~CAboutDlg() override;

  private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace qx::ui
