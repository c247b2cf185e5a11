#include "app/ui/CQuendrixView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace qx::ui {

namespace {

// Space between the window's edge and the text, in pixels.
constexpr int kSummaryMargin = 12;

}  // namespace

CQuendrixView::CQuendrixView(CQuendrixDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), summary_(new QLabel(this)) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    summary_->setObjectName(QStringLiteral("connectionSummary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The device path can be copied from here into a terminal.
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSummaryMargin, kSummaryMargin, kSummaryMargin, kSummaryMargin);
    layout->addWidget(summary_);
}

void CQuendrixView::setSummary(const QString& text) {
    summary_->setText(text);
}

QString CQuendrixView::summary() const {
    return summary_->text();
}

}  // namespace qx::ui
