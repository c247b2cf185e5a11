#include "params/ui/ParamSheetView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
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

}  // namespace

ParamSheetView::ParamSheetView(ParamSheet& sheet, QWidget* parent)
    : QWidget(parent),
      sheet_(sheet),
      model_(new ParamSheetModel(sheet, this)),
      filter_(new QLineEdit(this)),
      differingOnly_(new QCheckBox(QStringLiteral("Differing rows only"), this)),
      counts_(new QLabel(this)),
      table_(new QTableView(this)),
      help_(new QTextEdit(this)) {
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
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->setWordWrap(false);

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
    connect(model_, &QAbstractItemModel::modelReset, this, [this]() {
        showCounts();
        currentChanged();
    });
    reload();
}

void ParamSheetView::reload() {
    const int pn = currentPn();
    model_->reload();
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    differingOnly_->setEnabled(sheet_.comparing());
    selectPn(pn >= 0 ? pn : model_->pnAt(0));
    showCounts();
    currentChanged();
}

void ParamSheetView::filterEdited(const QString& text) {
    sheet_.setFilter(text.toStdString());
    reload();
}

void ParamSheetView::differingOnlyToggled(bool on) {
    sheet_.setDifferingOnly(on);
    reload();
}

std::vector<int> ParamSheetView::selectedPns() const {
    std::vector<int> pns;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        pns.push_back(model_->pnAt(index.row()));
    }
    std::sort(pns.begin(), pns.end());
    return pns;
}

void ParamSheetView::selectPn(int pn) {
    int row = model_->rowOf(pn);
    if (row < 0) {
        row = model_->rowCount() > 0 ? 0 : -1;
    }
    if (row >= 0) {
        table_->setCurrentIndex(model_->index(row, 0));
        table_->selectRow(row);
    }
    connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &ParamSheetView::currentChanged, Qt::UniqueConnection);
    currentChanged();
}

int ParamSheetView::currentPn() const {
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? model_->pnAt(current.row()) : -1;
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
    QString text = QStringLiteral("%1 of %2 parameters")
                       .arg(sheet_.rows().size())
                       .arg(kParamCount);
    if (sheet_.comparing()) {
        text += QStringLiteral(", %1 differing").arg(sheet_.differingCount());
    }
    counts_->setText(text);
}

}  // namespace qx::ui
