#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "params/ParamSheet.h"

namespace qx::ui {

// The rows a ParamSheet shows, for a table view. Differing rows are tinted; the Value
// column is editable when an editor is set, which decides what a typed text does.
class ParamSheetModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using ValueEditor = std::function<void(int pn, const std::string& text)>;

    ParamSheetModel(ParamSheet& sheet, QObject* parent);

    void setValueEditor(ValueEditor editor) { editor_ = std::move(editor); }
    // The sheet changed: rows, columns or values.
    void reload();
    int pnAt(int row) const;
    int rowOf(int pn) const;  // -1 when the row is not shown

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    ParamSheet& sheet_;
    ValueEditor editor_;
    std::vector<int> rows_;
    std::vector<ParamColumn> columns_;
};

}  // namespace qx::ui
