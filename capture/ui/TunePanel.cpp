#include "capture/ui/TunePanel.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/ui/PlainButton.h"
#include "capture/TuningAssistant.h"

namespace qx::ui {

namespace {

// Rows of the table in view; more scroll.
constexpr int kVisibleRows = 5;
constexpr int kOvershootDecimals = 1;
constexpr int kColumns = 6;
const char* const kHeaders[kColumns] = {
    "#", "Gains", "Rise (ms)", "Overshoot (%)", "Settling (ms)", "Verdict"};

}  // namespace

TunePanel::TunePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("tunePanel"));
    overshoot_ = new QDoubleSpinBox(this);
    overshoot_->setObjectName(QStringLiteral("maxOvershoot"));
    overshoot_->setRange(0.0, kMaxOvershootLimitPercent);
    overshoot_->setDecimals(kOvershootDecimals);
    overshoot_->setValue(kDefaultMaxOvershootPercent);
    captures_ = new QSpinBox(this);
    captures_->setObjectName(QStringLiteral("maxCaptures"));
    captures_->setRange(kMinCaptureBudget, kMaxCaptureBudget);
    captures_->setValue(kDefaultMaxCaptures);
    for (QAbstractSpinBox* field :
         {static_cast<QAbstractSpinBox*>(overshoot_), static_cast<QAbstractSpinBox*>(captures_)}) {
        field->installEventFilter(this);
    }
    start_ = PlainButton("Start", "tuneStart", this);
    stop_ = PlainButton("Stop", "tuneStop", this);
    apply_ = PlainButton("Apply", "tuneApply", this);
    discard_ = PlainButton("Discard", "tuneDiscard", this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("tuneStatus"));
    status_->setTextFormat(Qt::PlainText);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    table_ = new QTableWidget(0, kColumns, this);
    table_->setObjectName(QStringLiteral("tuneTrials"));
    QStringList headers;
    for (const char* h : kHeaders) {
        headers << QString::fromLatin1(h);
    }
    table_->setHorizontalHeaderLabels(headers);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           kVisibleRows * table_->verticalHeader()->defaultSectionSize() +
                           2 * table_->frameWidth());

    auto* targetRow = new QHBoxLayout;
    auto* overshootLabel = new QLabel(QStringLiteral("Max overshoot (%)"), this);
    auto* capturesLabel = new QLabel(QStringLiteral("Max captures"), this);
    overshootLabel->setBuddy(overshoot_);
    capturesLabel->setBuddy(captures_);
    targetRow->addWidget(overshootLabel);
    targetRow->addWidget(overshoot_);
    targetRow->addSpacing(overshootLabel->fontMetrics().averageCharWidth());
    targetRow->addWidget(capturesLabel);
    targetRow->addWidget(captures_);
    targetRow->addStretch();
    targetRow->addWidget(start_);
    targetRow->addWidget(stop_);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(apply_);
    statusRow->addWidget(discard_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(targetRow);
    layout->addLayout(statusRow);
    layout->addWidget(table_);

    connect(start_, &QPushButton::clicked, this, &TunePanel::startClicked);
    connect(stop_, &QPushButton::clicked, this, &TunePanel::stopClicked);
    connect(apply_, &QPushButton::clicked, this, &TunePanel::applyClicked);
    connect(discard_, &QPushButton::clicked, this, &TunePanel::discardClicked);
}

SearchTarget TunePanel::target() const {
    return SearchTarget{overshoot_->value(), captures_->value()};
}

void TunePanel::showAssistant(const TuningAssistant& assistant, bool canStart) {
    const AssistantPhase phase = assistant.phase();
    const bool idle = phase == AssistantPhase::Idle;
    start_->setEnabled(idle && canStart);
    stop_->setEnabled(phase == AssistantPhase::Searching);
    apply_->setEnabled(assistant.canApply());
    discard_->setEnabled(phase == AssistantPhase::Choosing);
    overshoot_->setEnabled(idle);
    captures_->setEnabled(idle);
    statusText_ = QString::fromStdString(assistant.statusLine());
    showStatus();

    const GainSearch* search = assistant.search();
    const int rows = search != nullptr ? static_cast<int>(search->trials().size()) : 0;
    table_->setRowCount(rows);
    const Trial* best = search != nullptr ? search->best() : nullptr;
    for (int r = 0; r < rows; ++r) {
        const Trial& t = search->trials()[static_cast<std::size_t>(r)];
        const auto cells = TrialCells(*search, t);
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
            QFont font = item->font();
            font.setBold(best != nullptr && best->number == t.number);
            item->setFont(font);
            table_->setItem(r, c, item);
        }
    }
    if (rows > 0) {
        table_->scrollToItem(table_->item(rows - 1, 0));
    }
}

void TunePanel::showStatus() {
    const QString shown =
        status_->fontMetrics().elidedText(statusText_, Qt::ElideRight, status_->width());
    status_->setText(shown);
    status_->setToolTip(shown == statusText_ ? QString() : statusText_);
}

void TunePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showStatus();
}

bool TunePanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QAbstractSpinBox*>(watched)->interpretText();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qx::ui
