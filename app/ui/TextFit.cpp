#include "app/ui/TextFit.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace qx::ui {

namespace {

// QLineEdit keeps this much room on either side of its text, and one pixel for the
// cursor after it.
constexpr int kEditHorizontalMargin = 2;
constexpr int kEditCursorWidth = 1;

// The text as drawn: "&&" shows as "&", a lone "&" marks the mnemonic and is not drawn.
QString WithoutMnemonic(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    return shown;
}

class Checker {
  public:
    std::vector<ClippedText> found;

    // `room` must hold `needed`, the size of `text` as `widget` draws it.
    void fits(const QWidget* widget, const QString& text, QSize needed, const QRect& room) {
        if (needed.width() > room.width() || needed.height() > room.height()) {
            const QString name = widget->objectName().isEmpty()
                                     ? QString::fromLatin1(widget->metaObject()->className())
                                     : widget->objectName();
            found.push_back({name, text, needed.width(), room.width()});
        }
    }

    // Lines of text (broken at the room's width with Qt::TextWordWrap) in the font of
    // `widget`. Blanks at the end show nothing, so they may be cut.
    void fits(const QWidget* widget, const QString& text, const QRect& room, int flags = 0) {
        qsizetype shown = text.size();
        while (shown > 0 && text[shown - 1].isSpace()) {
            --shown;
        }
        if (shown == 0) {
            return;
        }
        const QFontMetrics metrics(widget->font());
        fits(widget, text,
             metrics.boundingRect(QRect(QPoint(), room.size()), flags, text.left(shown)).size(),
             room);
    }

    void label(const QLabel* l) {
        if (l->textFormat() == Qt::RichText || !l->pixmap().isNull()) {
            return;
        }
        const int inset = l->margin() + std::max(l->indent(), 0);
        const QRect room = l->contentsRect().adjusted(inset, l->margin(), -inset, -l->margin());
        // A label with a buddy draws its "&" as the shortcut's underline, not as text.
        const QString text = l->buddy() != nullptr ? WithoutMnemonic(l->text()) : l->text();
        fits(l, text, room, l->wordWrap() ? Qt::TextWordWrap : 0);
    }

    void button(const QAbstractButton* b) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QRadioButton*>(b) != nullptr) {
            contents = QStyle::SE_RadioButtonContents;
        } else if (qobject_cast<const QPushButton*>(b) == nullptr) {
            return;  // the tool's windows have no other buttons with text
        }
        fits(b, WithoutMnemonic(b->text()), b->style()->subElementRect(contents, &option, b));
    }

    void groupTitle(const QGroupBox* g) {
        QStyleOptionGroupBox option;
        option.initFrom(g);
        option.text = g->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        const QRect label =
            g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
        // The style sizes the label to its text; what sticks out of the box is cut.
        fits(g, WithoutMnemonic(g->title()), label.intersected(g->rect()));
    }

    void edit(const QLineEdit* e) {
        QStyleOptionFrame option;
        option.initFrom(e);
        option.lineWidth =
            e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, e) : 0;
        const QMargins margins = e->textMargins();
        const QRect contents =
            e->style()
                ->subElementRect(QStyle::SE_LineEditContents, &option, e)
                .adjusted(margins.left() + kEditHorizontalMargin, margins.top(),
                          -margins.right() - kEditHorizontalMargin, -margins.bottom());
        // The edit scrolls its text (and hides the start) once the cursor after the
        // text would leave the room.
        const QString text = e->displayText();
        if (text.isEmpty()) {
            return;
        }
        const QFontMetrics metrics(e->font());
        fits(e, text, QSize(metrics.horizontalAdvance(text) + kEditCursorWidth, metrics.height()),
             contents);
    }
};

}  // namespace

std::vector<ClippedText> FindClippedTexts(const QWidget* window) {
    Checker checker;
    for (const QWidget* w : window->findChildren<const QWidget*>()) {
        if (!w->isVisibleTo(window)) {
            continue;
        }
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            checker.label(l);
        } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            checker.button(b);
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            checker.groupTitle(g);
        } else if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
            checker.edit(e);
        }
    }
    return checker.found;
}

}  // namespace qx::ui
