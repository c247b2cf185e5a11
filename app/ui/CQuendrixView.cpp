#include "app/ui/CQuendrixView.h"

#include <QPaintEvent>

namespace qx::ui {

CQuendrixView::CQuendrixView(CQuendrixDoc* document, QWidget* parent)
    : QWidget(parent), document_(document) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void CQuendrixView::paintEvent(QPaintEvent* event) {
    // The document has nothing to draw; the background is all there is.
    (void)document();
    event->accept();
}

}  // namespace qx::ui
