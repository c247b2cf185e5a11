#include "params/ui/ParamSheetModel.h"

#include <QBrush>
#include <QColor>
#include <QMetaObject>

namespace qx::ui {

namespace {

const QColor kDifferingRow(0xff, 0xe0, 0xa0);

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ParamSheetModel::ParamSheetModel(ParamSheet& sheet, QObject* parent)
    : QAbstractTableModel(parent), sheet_(sheet), rows_(sheet.rows()), columns_(sheet.columns()) {}

void ParamSheetModel::reload() {
    beginResetModel();
    rows_ = sheet_.rows();
    columns_ = sheet_.columns();
    endResetModel();
}

int ParamSheetModel::pnAt(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : -1;
}

int ParamSheetModel::rowOf(int pn) const {
    const auto at = std::find(rows_.begin(), rows_.end(), pn);
    return at == rows_.end() ? -1 : static_cast<int>(at - rows_.begin());
}

int ParamSheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ParamSheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ParamSheetModel::data(const QModelIndex& index, int role) const {
    const int pn = pnAt(index.row());
    if (pn < 0 || index.column() >= static_cast<int>(columns_.size())) {
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
            return column == ParamColumn::Title
                       ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
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
    const int pn = pnAt(index.row());
    if (role != Qt::EditRole || pn < 0 || !editor_) {
        return false;
    }
    editor_(pn, value.toString().toStdString());
    if (sheet_.rows() == rows_) {
        emit dataChanged(this->index(index.row(), 0),
                         this->index(index.row(), columnCount() - 1));
    } else {
        // A row that no longer differs leaves the view; not while the view is still
        // handing over its editor.
        QMetaObject::invokeMethod(this, &ParamSheetModel::reload, Qt::QueuedConnection);
    }
    return true;
}

}  // namespace qx::ui
