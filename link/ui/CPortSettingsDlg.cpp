#include "link/ui/CPortSettingsDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/ui/AppInfo.h"
#include "app/ui/CommandIds.h"
#include "link/ui/ComSettings.h"
#include "ui_CPortSettingsDlg.h"

namespace qx::ui {

CPortSettingsDlg::CPortSettingsDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent), ui_(std::make_unique<Ui::CPortSettingsDlg>()) {
    ui_->setupUi(this);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CPortSettingsDlg::accept);
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CPortSettingsDlg::reject);
}

CPortSettingsDlg::~CPortSettingsDlg() = default;

QComboBox* CPortSettingsDlg::comboFor(int portNumber) const {
    const std::array<QComboBox*, PortMap::kPortCount> combos = {ui_->comboCom1, ui_->comboCom2,
                                                                ui_->comboCom3, ui_->comboCom4};
    return combos.at(static_cast<std::size_t>(portNumber - 1));
}

void CPortSettingsDlg::onInitDialog() {
    const ComMapping& mapping = context().comMapping();
    items_ = ComChoiceItems(DiscoverSerialDevices(mapping.roots()));
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        QComboBox* combo = comboFor(n);
        combo->clear();
        int current = -1;
        for (const ComChoiceItem& item : items_) {
            if (item.choice == mapping.stored(n)) {
                current = combo->count();
            }
            combo->addItem(QString::fromStdString(item.text));
        }
        if (current >= 0) {
            combo->setCurrentIndex(current);
        } else {
            // A device typed before, or one that is not plugged in now.
            combo->setEditText(QString::fromStdString(mapping.stored(n)));
        }
    }
}

void CPortSettingsDlg::onOK() {
    std::array<std::string, PortMap::kPortCount> choices;
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        const auto choice = ComChoiceFromText(comboFor(n)->currentText().toStdString(), items_);
        if (!choice) {
            messages()->show("Please enter a device path such as /dev/ttyUSB0, or pick an entry.",
                             kAppTitle);
            comboFor(n)->setFocus();
            comboFor(n)->lineEdit()->selectAll();
            return;
        }
        choices[static_cast<std::size_t>(n - 1)] = *choice;
    }
    ComMapping& mapping = context().comMapping();
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        mapping.setStored(n, choices[static_cast<std::size_t>(n - 1)]);
    }
    SaveComSettings(mapping);
    endDialog(kIdOk);
}

}  // namespace qx::ui
