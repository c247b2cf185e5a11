#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "params/ParamSheet.h"

namespace qx::ui {

// Every parameter of a ParamSheet as one row (row = Pn), for a table view that hides
// the rows the sheet does not show. Differing rows are tinted; the Value column is
// editable when an editor is set, which decides what a typed text does.
class ParamSheetModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using ValueEditor = std::function<void(int pn, const std::string& text)>;

    ParamSheetModel(ParamSheet& sheet, QObject* parent);

    void setValueEditor(ValueEditor editor) { editor_ = std::move(editor); }
    // The sheet's columns changed.
    void reload();
    // The sheet's values changed.
    void valuesChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // A value typed into a cell was taken: the rows shown may have changed.
    void valueEdited();

  private:
    ParamSheet& sheet_;
    ValueEditor editor_;
    std::vector<ParamColumn> columns_;
};

}  // namespace qx::ui
