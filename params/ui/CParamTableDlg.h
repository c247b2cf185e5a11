#pragma once

#include <memory>
#include <vector>

#include "app/ui/ModalDialog.h"
#include "params/ParamSheet.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace qx::ui {

class ParamSheetView;

// "Parameter Table": every parameter of the loaded table at once, with a filter, the
// help of the current row, values edited in place and written at once as "Set" writes
// them, a comparison with a parameter file, and the parameter writes of this connection
// with "Revert". Opened only on a loaded table.
class CParamTableDlg : public ModalDialog {
    Q_OBJECT

  public:
    CParamTableDlg(GuiContext& context, QWidget* parent);
    ~CParamTableDlg() override;

    ParamSheetView& view() { return *view_; }
    const ParamSheet& sheet() const { return sheet_; }
    QTableWidget* changes() const { return changes_; }

    // "Compare with File...", "Write File Values" and "Revert", as their buttons do.
    void compareWithFile();
    // Compares with the file at `path`, as choosing it in the file dialog does.
    void compareWithFile(const QString& path);
    void writeFileValues();
    void revert();

  protected:
    void onInitDialog() override;
    void onOK() override;

  private:
    void editValue(int pn, const std::string& text);
    // The cache and the log changed: show them again.
    void refresh();
    void showChanges();

    ParamSheet sheet_;
    std::unique_ptr<MessageSink> messages_;
    ParamSheetView* view_;
    QPushButton* compare_;
    QPushButton* writeFile_;
    QTableWidget* changes_;
    QLabel* summary_;
    QPushButton* revert_;
    QPushButton* close_;
};

}  // namespace qx::ui
