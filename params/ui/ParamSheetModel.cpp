#include "params/ui/ParamSheetModel.h"

#include <QBrush>
#include <QColor>

namespace qx::ui {

namespace {

const QColor kDifferingRow(0xff, 0xe0, 0xa0);

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ParamSheetModel::ParamSheetModel(ParamSheet& sheet, QObject* parent)
    : QAbstractTableModel(parent), sheet_(sheet), columns_(sheet.columns()) {}

void ParamSheetModel::reload() {
    beginResetModel();
    columns_ = sheet_.columns();
    endResetModel();
}

void ParamSheetModel::valuesChanged() {
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int ParamSheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kParamCount;
}

int ParamSheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ParamSheetModel::data(const QModelIndex& index, int role) const {
    const int pn = index.row();
    if (!IsValidParamNumber(pn) || index.column() >= static_cast<int>(columns_.size())) {
        return {};
    }
    const ParamColumn column = columns_[index.column()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return Text(sheet_.cell(pn, column));
        case Qt::BackgroundRole:
            return sheet_.differs(pn) ? QVariant(QBrush(kDifferingRow)) : QVariant();
        case Qt::TextAlignmentRole:
            return column == ParamColumn::Title ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant ParamSheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal ||
        section >= static_cast<int>(columns_.size())) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return Text(sheet_.header(columns_[section]));
}

Qt::ItemFlags ParamSheetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (editor_ && index.isValid() && columns_[index.column()] == ParamColumn::Value) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ParamSheetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int pn = index.row();
    if (role != Qt::EditRole || !IsValidParamNumber(pn) || !editor_) {
        return false;
    }
    editor_(pn, value.toString().toStdString());
    emit dataChanged(this->index(pn, 0), this->index(pn, columnCount() - 1));
    emit valueEdited();
    return true;
}

}  // namespace qx::ui
