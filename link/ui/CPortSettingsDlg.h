#pragma once

#include <array>
#include <memory>
#include <vector>

#include "app/ui/ModalDialog.h"
#include "link/ComChoices.h"

class QComboBox;

namespace Ui {
class CPortSettingsDlg;
}

namespace qx::ui {

// "Port Settings...": the device each of COM1 to COM4 opens, chosen from the devices
// present, typed, or the simulated drive. OK stores the choices in the user's profile.
class CPortSettingsDlg : public ModalDialog {
    Q_OBJECT

  public:
    CPortSettingsDlg(GuiContext& context, QWidget* parent);
    ~CPortSettingsDlg() override;

    // The list of COM n (1 to 4).
    QComboBox* comboFor(int portNumber) const;

  protected:
    void onInitDialog() override;
    void onOK() override;

  private:
    std::unique_ptr<Ui::CPortSettingsDlg> ui_;
    std::vector<ComChoiceItem> items_;
};

}  // namespace qx::ui
