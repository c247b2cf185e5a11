#pragma once

#include <memory>

#include "app/ui/ModalDialog.h"

namespace Ui {
class CMagnetDirectionDlg;
}

namespace qx::ui {

// "Search Magnetic direction...": asked while the drive turns the motor. OK only after a
// direction was chosen; the answer goes to magnetDirectionAnswer (0 CCW, 1 CW).
class CMagnetDirectionDlg : public ModalDialog {
    Q_OBJECT

  public:
    CMagnetDirectionDlg(GuiContext& context, QWidget* parent);
    ~CMagnetDirectionDlg() override;

  protected:
    void onInitDialog() override;

  private:
    void choose(int32_t direction);

    std::unique_ptr<Ui::CMagnetDirectionDlg> ui_;
};

}  // namespace qx::ui
