#include "params/ui/ParamSheetView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "params/ui/ParamHelpBox.h"

namespace qx::ui {

namespace {

// Room for the table above the help box, in pixels, as the window first opens.
constexpr int kTableHeight = 330;
constexpr int kHelpHeight = 130;
// Pixels above and below a row's text.
constexpr int kRowPadding = 4;

}  // namespace

ParamSheetView::ParamSheetView(ParamSheet& sheet, QWidget* parent)
    : QWidget(parent),
      sheet_(sheet),
      model_(new ParamSheetModel(sheet, this)),
      filter_(new QLineEdit(this)),
      differingOnly_(new QCheckBox(QStringLiteral("Differing rows only"), this)),
      counts_(new QLabel(this)),
      table_(new QTableView(this)),
      help_(new QTextEdit(this)),
      shown_(kParamCount, true) {
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setPlaceholderText(QStringLiteral("Pn number or words of the title and help"));
    filter_->setClearButtonEnabled(true);
    differingOnly_->setObjectName(QStringLiteral("differingOnly"));
    counts_->setObjectName(QStringLiteral("counts"));
    table_->setObjectName(QStringLiteral("params"));
    help_->setObjectName(QStringLiteral("help"));
    SetUpParamHelpBox(*help_);

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->setWordWrap(false);
    // Fixed row heights and column widths measured once: a keystroke in the filter only
    // hides and shows rows, and never measures 184 rows again.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + kRowPadding);

    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(filter_);
    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filter_, 1);
    top->addWidget(differingOnly_);
    top->addWidget(counts_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(help_);
    split->setSizes({kTableHeight, kHelpHeight});
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    connect(filter_, &QLineEdit::textChanged, this, &ParamSheetView::filterEdited);
    connect(differingOnly_, &QCheckBox::toggled, this, &ParamSheetView::differingOnlyToggled);
    connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ParamSheetView::currentChanged);
    // Not while the table still hands over the cell's editor.
    connect(model_, &ParamSheetModel::valueEdited, this, [this]() {
        QMetaObject::invokeMethod(this, &ParamSheetView::showRows, Qt::QueuedConnection);
    });
    reload();
}

void ParamSheetView::reload() {
    const int pn = currentPn();
    model_->reload();
    std::fill(shown_.begin(), shown_.end(), true);
    for (int row = 0; row < kParamCount; ++row) {
        table_->setRowHidden(row, false);
    }
    QHeaderView* header = table_->horizontalHeader();
    table_->resizeColumnsToContents();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(static_cast<int>(ParamColumn::Title), QHeaderView::Stretch);
    differingOnly_->setEnabled(sheet_.comparing());
    {
        const QSignalBlocker quiet(differingOnly_);
        differingOnly_->setChecked(sheet_.differingOnly());
    }
    showRows();
    selectPn(pn);
}

void ParamSheetView::valuesChanged() {
    model_->valuesChanged();
    showRows();
}

void ParamSheetView::showRows() {
    std::vector<bool> shown(kParamCount, false);
    for (const int pn : sheet_.rows()) {
        shown[pn] = true;
    }
    for (int pn = 0; pn < kParamCount; ++pn) {
        if (shown[pn] != shown_[pn]) {
            table_->setRowHidden(pn, !shown[pn]);
        }
    }
    shown_ = std::move(shown);
    showCounts();
    if (currentPn() < 0) {
        selectPn(-1);
    }
    currentChanged();
}

void ParamSheetView::filterEdited(const QString& text) {
    sheet_.setFilter(text.toStdString());
    showRows();
}

void ParamSheetView::differingOnlyToggled(bool on) {
    sheet_.setDifferingOnly(on);
    showRows();
}

std::vector<int> ParamSheetView::selectedPns() const {
    std::vector<int> pns;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        // A selection made before the filter changed may hold rows no longer shown.
        if (shown_[index.row()]) {
            pns.push_back(index.row());
        }
    }
    std::sort(pns.begin(), pns.end());
    return pns;
}

void ParamSheetView::selectPn(int pn) {
    const std::vector<int>& rows = sheet_.rows();
    if (std::find(rows.begin(), rows.end(), pn) == rows.end()) {
        pn = rows.empty() ? -1 : rows.front();
    }
    if (pn >= 0) {
        // The Value cell, so that typing a digit starts editing the value.
        const QModelIndex value = model_->index(pn, static_cast<int>(ParamColumn::Value));
        table_->setCurrentIndex(value);
        table_->selectRow(pn);
        table_->scrollTo(value);
    }
    currentChanged();
}

int ParamSheetView::currentPn() const {
    const QModelIndex current = table_->currentIndex();
    return current.isValid() && shown_[current.row()] ? current.row() : -1;
}

void ParamSheetView::currentChanged() {
    const int pn = currentPn();
    if (pn == shownHelpPn_) {
        return;
    }
    shownHelpPn_ = pn;
    ShowParamHelp(*help_, pn >= 0 ? sheet_.help(pn) : std::string());
}

void ParamSheetView::showCounts() {
    QString text = QStringLiteral("%1 of %2 parameters").arg(sheet_.rows().size()).arg(kParamCount);
    if (sheet_.comparing()) {
        text += QStringLiteral(", %1 differing").arg(sheet_.differingCount());
    }
    counts_->setText(text);
}

}  // namespace qx::ui
