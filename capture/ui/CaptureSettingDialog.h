#pragma once

#include <QTimer>

#include "app/ui/ModalDialog.h"
#include "capture/CaptureSettingsForm.h"

class QPushButton;

namespace qx::ui {

class CommitLineEdit;
class DeltaSpin;
class ImageFrame;

// What the three capture setting dialogs share: the fields of one loop's capture
// settings, their commit and arrow rules, and the preview redrawn twenty times a second.
// They exchange nothing with the drive.
class CaptureSettingDialog : public ModalDialog {
    Q_OBJECT

  public:
    CaptureSettingDialog(GuiContext& context, QWidget* parent, CaptureKind kind);
    ~CaptureSettingDialog() override;

    const CaptureSettingFields& fields() const { return fields_; }

  protected:
    struct Controls {
        CommitLineEdit* range = nullptr;
        DeltaSpin* rangeSpin = nullptr;
        CommitLineEdit* lasting = nullptr;
        DeltaSpin* lastingSpin = nullptr;
        CommitLineEdit* rate = nullptr;
        DeltaSpin* rateSpin = nullptr;
        CommitLineEdit* count = nullptr;
        DeltaSpin* countSpin = nullptr;
        CommitLineEdit* start = nullptr;
        DeltaSpin* startSpin = nullptr;
        ImageFrame* preview = nullptr;
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
    };
    // Hooks the controls to the rules; called once the form is set up.
    void bind(const Controls& controls);

    void doDataExchange(DataExchange& exchange) override;
    void onInitDialog() override;
    void onOK() override;

  private:
    void exchangeRange(DataExchange& exchange);
    void exchangeLasting(DataExchange& exchange);
    void exchangeCount(DataExchange& exchange);
    void exchangeStart(DataExchange& exchange);
    void exchangeRate(DataExchange& exchange);
    // Commit, a rule, refresh: what every edit and arrow does.
    void commitThen(const std::function<void()>& rule);
    void drawPreview();
    int32_t baseRate();

    CaptureKind kind_;
    CaptureSettingLimits limits_;
    CaptureSettingFields fields_;
    Controls controls_;
    QTimer timer_;
};

}  // namespace qx::ui
