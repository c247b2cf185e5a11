#pragma once

#include <memory>

#include "app/ui/ModalDialog.h"
#include "params/ParamFileDocument.h"
#include "params/ParamSheet.h"

class QLabel;
class QPushButton;

namespace qx::ui {

class ParamSheetView;

// "Parameter File": a parameter file without a drive, in the same table as the drive's
// parameters, with titles and help texts. Values are edited in place (16-bit words and
// bit widths checked, no drive ranges) and saved with the same safe write as an upload;
// "Compare with File..." compares it with another file. Closing or opening another file
// with unsaved changes asks first.
class CParamFileDlg : public ModalDialog {
    Q_OBJECT

  public:
    CParamFileDlg(GuiContext& context, QWidget* parent);
    ~CParamFileDlg() override;

    // Opens `path`; false after telling `owner` why it could not.
    bool openFile(const QString& path, MessageSink& owner);

    ParamSheetView& view() { return *view_; }
    const ParamFileDocument& document() const { return document_; }

    // The buttons' actions.
    void open();
    bool save();
    bool saveAs();
    void compareWithFile();
    // Compares with the file at `path`, as choosing it in the file dialog does.
    void compareWithFile(const QString& path);

  protected:
    void onOK() override;
    void onCancel() override;

  private:
    void editValue(int pn, const std::string& text);
    // Unsaved changes: asks whether to save them. False when the user chose to stay.
    bool changesSettled();
    void showDocument();
    void showTitle();

    ParamFileDocument document_;
    ParamSheet sheet_{0};
    std::unique_ptr<MessageSink> messages_;
    QLabel* path_;
    ParamSheetView* view_;
    QPushButton* open_;
    QPushButton* save_;
    QPushButton* saveAs_;
    QPushButton* compare_;
    QPushButton* close_;
};

}  // namespace qx::ui
