#pragma once

#include <QWidget>
#include <vector>

#include "params/ParamSheet.h"
#include "params/ui/ParamSheetModel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTextEdit;

namespace qx::ui {

// The part both parameter windows share: a filter box, "Differing rows only", the table
// of parameters and, below it, the help text of the current row in the fixed-pitch help
// box. It shows a ParamSheet; its owner changes the sheet and calls reload().
class ParamSheetView : public QWidget {
    Q_OBJECT

  public:
    ParamSheetView(ParamSheet& sheet, QWidget* parent);

    ParamSheetModel& model() { return *model_; }
    QTableView* table() const { return table_; }
    QLineEdit* filterEdit() const { return filter_; }
    QCheckBox* differingOnlyBox() const { return differingOnly_; }
    QTextEdit* helpBox() const { return help_; }

    // Shows the sheet again after its owner changed it, keeping the current Pn.
    void reload();
    // The sheet's values changed (the columns did not).
    void valuesChanged();
    // The Pn of the selected rows, ascending.
    std::vector<int> selectedPns() const;
    void selectPn(int pn);
    int currentPn() const;

  private:
    // Hides the rows the sheet does not show.
    void showRows();
    void filterEdited(const QString& text);
    void differingOnlyToggled(bool on);
    void currentChanged();
    void showCounts();

    ParamSheet& sheet_;
    ParamSheetModel* model_;
    QLineEdit* filter_;
    QCheckBox* differingOnly_;
    QLabel* counts_;
    QTableView* table_;
    QTextEdit* help_;
    int shownHelpPn_ = -1;
    std::vector<bool> shown_;
};

}  // namespace qx::ui
