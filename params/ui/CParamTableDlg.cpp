#include "params/ui/CParamTableDlg.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "app/ui/PlainButton.h"
#include "app/ui/WaitCursor.h"
#include "params/ParamTableWrites.h"
#include "params/ParamText.h"
#include "params/ui/ParamCompareFile.h"
#include "params/ui/ParamSheetView.h"

namespace qx::ui {

namespace {

constexpr int kTableWindowWidth = 820;
constexpr int kTableWindowHeight = 760;
constexpr int kChangesHeight = 220;
constexpr const char* kTimeFormat = "hh:mm:ss";

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CParamTableDlg::CParamTableDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      sheet_(context.state().identity.softwareVersion),
      messages_(context.messagesFor(this)),
      view_(new ParamSheetView(sheet_, this)),
      compare_(PlainButton("Compare with File...", "compare", this)),
      writeFile_(PlainButton("Write File Values", "writeFileValues", this)),
      changes_(new QTableWidget(0, 6, this)),
      summary_(new QLabel(this)),
      revert_(PlainButton("Revert", "revert", this)),
      close_(PlainButton("Close", "close", this)) {
    setWindowTitle(QStringLiteral("Parameter Table"));
    setSizeGripEnabled(true);
    resize(kTableWindowWidth, kTableWindowHeight);

    changes_->setObjectName(QStringLiteral("changes"));
    summary_->setObjectName(QStringLiteral("summary"));
    changes_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Pn"),
                                         QStringLiteral("Title"), QStringLiteral("Old"),
                                         QStringLiteral("New"), QStringLiteral("EEPROM")});
    changes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    changes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    changes_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    changes_->verticalHeader()->hide();
    changes_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    changes_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    changes_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    writeFile_->setEnabled(false);

    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(compare_);
    fileButtons->addWidget(writeFile_);
    fileButtons->addStretch(1);

    auto* changesBox = new QGroupBox(QStringLiteral("Changes of this session"), this);
    auto* changesLayout = new QVBoxLayout(changesBox);
    changesLayout->addWidget(changes_, 1);
    auto* changesButtons = new QHBoxLayout;
    changesButtons->addWidget(summary_, 1);
    changesButtons->addWidget(revert_);
    changesLayout->addLayout(changesButtons);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(view_, 1);
    topLayout->addLayout(fileButtons);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(changesBox);
    split->setChildrenCollapsible(false);
    split->setSizes({kTableWindowHeight - kChangesHeight, kChangesHeight});

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(closeRow);

    view_->model().setValueEditor([this](int pn, const std::string& text) { editValue(pn, text); });
    connect(compare_, &QPushButton::clicked, this, [this]() { compareWithFile(); });
    connect(writeFile_, &QPushButton::clicked, this, &CParamTableDlg::writeFileValues);
    connect(revert_, &QPushButton::clicked, this, &CParamTableDlg::revert);
    connect(close_, &QPushButton::clicked, this, &CParamTableDlg::reject);
}

CParamTableDlg::~CParamTableDlg() = default;

void CParamTableDlg::onInitDialog() {
    const UserParamTable& table = context().state().userParamTable;
    sheet_.setRanges(MinimaOfTable(table), MaximaOfTable(table));
    sheet_.setValues(ParamValuesOfTable(table));
    view_->reload();
    showChanges();
}

void CParamTableDlg::onOK() {
    // Nothing to confirm: every value was written when it was typed.
    onCancel();
}

void CParamTableDlg::refresh() {
    sheet_.setValues(ParamValuesOfTable(context().state().userParamTable));
    view_->valuesChanged();
    showChanges();
}

void CParamTableDlg::editValue(int pn, const std::string& text) {
    SharedState& state = context().state();
    WaitCursor busy;
    WriteTypedParam(
        {context().link(), state.userParamTable, state.parameterTable.changeLog, *messages_}, pn,
        text);
    sheet_.setValues(ParamValuesOfTable(state.userParamTable));
    showChanges();
}

void CParamTableDlg::compareWithFile() {
    if (const auto path = AskForParamFilePath(context(), this, false)) {
        compareWithFile(*path);
    }
}

void CParamTableDlg::compareWithFile(const QString& path) {
    const auto file = ReadComparedFile(path, *messages_);
    if (!file) {
        return;
    }
    sheet_.compareWith(file->values, file->name.toStdString());
    writeFile_->setEnabled(true);
    view_->reload();
}

void CParamTableDlg::writeFileValues() {
    if (!sheet_.comparing()) {
        return;
    }
    std::vector<int> chosen;
    for (const int pn : view_->selectedPns()) {
        if (sheet_.differs(pn)) {
            chosen.push_back(pn);
        }
    }
    SharedState& state = context().state();
    WaitCursor busy;
    WriteFileValues(
        {context().link(), state.userParamTable, state.parameterTable.changeLog, *messages_},
        *sheet_.comparedValues(), chosen);
    refresh();
}

void CParamTableDlg::revert() {
    std::set<std::size_t> chosen;
    for (const QModelIndex& index : changes_->selectionModel()->selectedRows()) {
        chosen.insert(static_cast<std::size_t>(index.row()));
    }
    SharedState& state = context().state();
    WaitCursor busy;
    RevertChanges(
        {context().link(), state.userParamTable, state.parameterTable.changeLog, *messages_},
        std::vector<std::size_t>(chosen.begin(), chosen.end()));
    refresh();
}

void CParamTableDlg::showChanges() {
    const ParamChangeLog& log = context().state().parameterTable.changeLog;
    const auto& entries = log.entries();
    changes_->setRowCount(static_cast<int>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ParamChange& c = entries[i];
        const QString cells[] = {
            QDateTime::fromSecsSinceEpoch(c.timeSecs).toString(QString::fromLatin1(kTimeFormat)),
            QString::number(c.pn),
            Text(sheet_.title(c.pn)),
            Text(FormatParamValue(c.pn, c.oldValue)),
            Text(FormatParamValue(c.pn, c.newValue)),
            log.storedInEeprom(i) ? QStringLiteral("stored") : QStringLiteral("not stored"),
        };
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column != 2) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            changes_->setItem(static_cast<int>(i), column, item);
        }
    }
    summary_->setText(Text(ChangeLogSummary(log)));
    revert_->setEnabled(!entries.empty());
}

}  // namespace qx::ui
