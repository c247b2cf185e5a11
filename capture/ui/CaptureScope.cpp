#include "capture/ui/CaptureScope.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTime>
#include <QWheelEvent>

#include "app/ui/DialogUnits.h"
#include "app/ui/GuiContext.h"
#include "capture/RecordExport.h"
#include "capture/ui/CapturePainting.h"
#include "capture/ui/ImageFrame.h"

namespace qx::ui {

namespace {

constexpr int kLineGap = 2;
constexpr int kLinesBelowControls = 4;
constexpr int kWindowMargin = 11;
// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

struct ActionSpec {
    const char* name;
    const char* text;
};
constexpr ActionSpec kActions[] = {
    {"keepReference", "Keep as reference"}, {"clearReference", "Clear reference"},
    {"clearCursors", "Remove cursors"},     {"exportCsv", "Export CSV..."},
    {"saveImage", "Save Image..."},         {"copyImage", "Copy Image"},
};

}  // namespace

CaptureScope::CaptureScope(QWidget& window, ImageFrame& plot, GuiContext& context,
                           MetricsOf metricsOf)
    : QObject(&window),
      window_(window),
      plot_(plot),
      context_(context),
      metricsOf_(std::move(metricsOf)),
      messages_(context.messagesFor(&window)) {
    // The form is laid out in the units of the font actually used first, so the places
    // taken below are those the window really shows at its own size.
    ApplyFontUnits(&window);
    // Where everything stands at the window's own size.
    for (QObject* child : window.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w != nullptr && !w->isWindow()) {
            anchored_.push_back({w, w->geometry()});
            linesTop_ = std::max(linesTop_, w->geometry().bottom() + 1);
        }
    }
    plotAt_ = plot.geometry();
    linesTop_ += kLinesBelowControls;

    state_ = addLine("scopeState");
    if (metricsOf_) {
        metrics_ = addLine("scopeMetrics");
        reference_ = addLine("scopeReference");
    }
    cursors_ = addLine("scopeCursors");
    deltas_ = addLine("scopeDeltas");
    const int lineHeight = window.fontMetrics().height() + kLineGap;
    baseSize_ = QSize(window.width(), linesTop_ + static_cast<int>(lines_.size()) * lineHeight +
                                          kLinesBelowControls);
    window.setMinimumSize(baseSize_);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window.resize(baseSize_);
    place();

    for (const ActionSpec& spec : kActions) {
        auto* a = new QAction(QString::fromLatin1(spec.text), this);
        a->setObjectName(QString::fromLatin1(spec.name));
        actions_.push_back(a);
    }
    connect(action("keepReference"), &QAction::triggered, this, &CaptureScope::keepReference);
    connect(action("clearReference"), &QAction::triggered, this, [this] {
        view_.clearReference();
        if (reference_ != nullptr) {
            setLine(reference_, QString());
        }
        redraw();
    });
    connect(action("clearCursors"), &QAction::triggered, this, [this] {
        view_.clearCursors();
        redraw();
    });
    connect(action("exportCsv"), &QAction::triggered, this, &CaptureScope::exportCsv);
    connect(action("saveImage"), &QAction::triggered, this, &CaptureScope::saveImage);
    connect(action("copyImage"), &QAction::triggered, this, &CaptureScope::copyImage);

    plot.setContextMenuPolicy(Qt::DefaultContextMenu);
    plot.installEventFilter(this);
    window.installEventFilter(this);
}

CaptureScope::~CaptureScope() = default;

QLabel* CaptureScope::addLine(const char* objectName) {
    auto* line = new QLabel(&window_);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setTextFormat(Qt::PlainText);
    lines_.push_back(line);
    return line;
}

void CaptureScope::setLine(QLabel* line, const QString& text) {
    line->setProperty("wholeText", text);
    const QString shown =
        line->fontMetrics().elidedText(text, Qt::ElideRight, line->contentsRect().width());
    line->setText(shown);
    line->setToolTip(shown == text ? QString() : text);
}

QAction* CaptureScope::action(const char* objectName) const {
    for (QAction* a : actions_) {
        if (a->objectName() == QLatin1String(objectName)) {
            return a;
        }
    }
    return nullptr;
}

QSize CaptureScope::baseSize() const {
    return baseSize_ + QSize(0, panelHeight_);
}

void CaptureScope::setPanel(QWidget* panel) {
    panel_ = panel;
    panel->hide();
}

void CaptureScope::showPanel(bool shown) {
    if (panel_.isNull() || shown == (panelHeight_ > 0)) {
        return;
    }
    const int height = shown ? panel_->sizeHint().height() + kWindowMargin : 0;
    const int change = height - panelHeight_;
    panelHeight_ = height;
    panel_->setVisible(shown);
    const int panelWidth = panel_->minimumSizeHint().width() + 2 * kWindowMargin;
    // Taken before the new minimum, which may already enlarge the window on its own.
    const QSize before = window_.size();
    window_.setMinimumSize(baseSize().expandedTo(QSize(shown ? panelWidth : 0, 0)));
    window_.resize((before + QSize(0, change)).expandedTo(window_.minimumSize()));
    place();
}

void CaptureScope::place() {
    const QSize grown = (window_.size() - baseSize()).expandedTo(QSize(0, 0));
    for (const Anchored& a : anchored_) {
        if (a.widget.isNull()) {
            continue;
        }
        QRect at = a.at;
        if (a.widget == &plot_) {
            at.setSize(at.size() + grown);
        } else {
            // Controls right of the plot keep to the right edge, those below it to the
            // bottom.
            at.translate(at.left() >= plotAt_.right() ? grown.width() : 0,
                         at.top() >= plotAt_.bottom() ? grown.height() : 0);
        }
        a.widget->setGeometry(at);
    }
    const int lineHeight = window_.fontMetrics().height() + kLineGap;
    int top = linesTop_ + grown.height();
    for (QLabel* line : lines_) {
        line->setGeometry(kWindowMargin, top, window_.width() - 2 * kWindowMargin, lineHeight);
        setLine(line, line->property("wholeText").toString());
        top += lineHeight;
    }
    if (panelHeight_ > 0) {
        panel_->setGeometry(kWindowMargin, top + kLinesBelowControls,
                            window_.width() - 2 * kWindowMargin, panelHeight_ - kWindowMargin);
    }
}

void CaptureScope::draw(const WaveformInput& input, PlotData& plot, int dataValid) {
    input_ = input;
    data_ = &plot;
    dataValid_ = dataValid;
    redraw();
}

void CaptureScope::redraw() {
    if (data_ == nullptr) {
        return;  // nothing drawn yet: the plot stays blank
    }
    view_.setLayout(DrawWaveform(plot_, input_, *data_, dataValid_, view_.view(dataValid_)));
    showCursors();
}

void CaptureScope::showCursors() {
    QStringList readout;
    if (haveRecord_ && dataValid_ == 1 && data_ != nullptr) {
        readout = QString::fromStdString(CursorReadout(*data_, shape_, view_.cursor(PlotCursor::A),
                                                       view_.cursor(PlotCursor::B)))
                      .split(QLatin1Char('\n'));
    }
    setLine(cursors_, readout.value(0));
    setLine(deltas_, readout.value(1));
}

void CaptureScope::recordShown(const PlotData& plot, const RecordShape& shape) {
    shape_ = shape;
    haveRecord_ = true;
    view_.showRecord(shape);
    const QTime now = QTime::currentTime();
    lastRecord_ = TimeOfDay{now.hour(), now.minute(), now.second()};
    if (metricsOf_) {
        setLine(metrics_, QString::fromStdString(metricsOf_(plot, shape)));
    }
}

void CaptureScope::showState(CaptureState state) {
    state.lastRecord = lastRecord_;
    setLine(state_, QString::fromStdString(CaptureStateLine(state)));
}

void CaptureScope::keepReference() {
    if (!haveRecord_ || data_ == nullptr || dataValid_ != 1) {
        return;
    }
    view_.keepReference(*data_, shape_);
    if (metricsOf_) {
        setLine(reference_,
                QStringLiteral("reference: ") +
                    QString::fromStdString(metricsOf_(view_.reference(), view_.referenceShape())));
    }
    redraw();
}

void CaptureScope::warn(const std::string& text) {
    messages_->show(text, kTitleWarning);
}

void CaptureScope::exportCsv() {
    if (!haveRecord_ || data_ == nullptr || dataValid_ != 1) {
        return;
    }
    // Taken now: the next record may arrive while the file dialog is open.
    const std::string csv = RecordCsv(*data_, shape_);
    saveAs(QStringLiteral("Export CSV"), QStringLiteral("CSV Files (*.csv)|*.csv||"),
           QStringLiteral("record.csv"), csv);
}

void CaptureScope::saveImage() {
    const QImage image = plot_.image();
    if (image.isNull()) {
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    saveAs(QStringLiteral("Save Image"), QStringLiteral("PNG Images (*.png)|*.png||"),
           QStringLiteral("plot.png"), std::string_view(png.constData(), png.size()));
}

void CaptureScope::saveAs(const QString& title, const QString& filter, const QString& name,
                          std::string_view bytes) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.owner = &window_;
    request.filter = filter;
    request.defaultName = name;
    request.defaultExtension = name.section(QLatin1Char('.'), -1);
    request.title = title;
    if (const std::optional<QString> path = context_.askFileName(request)) {
        if (auto failure = WriteFileWhole(path->toStdString(), bytes)) {
            warn(*failure);
        }
    }
}

void CaptureScope::copyImage() {
    if (!plot_.image().isNull()) {
        QGuiApplication::clipboard()->setImage(plot_.image());
    }
}

QPoint CaptureScope::toPicture(QPoint at) const {
    return at - plot_.contentsRect().topLeft();
}

bool CaptureScope::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::Resize) {
            place();
            redraw();
        }
        return false;
    }
    if (watched != &plot_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = toPicture(mouse->position().toPoint());
            const bool left = mouse->button() == Qt::LeftButton;
            if (event->type() == QEvent::MouseButtonPress && left) {
                view_.press(at.x(), at.y(), mouse->modifiers().testFlag(Qt::ShiftModifier));
            } else if (event->type() == QEvent::MouseMove &&
                       mouse->buttons().testFlag(Qt::LeftButton)) {
                view_.move(at.x(), at.y());
            } else if (event->type() == QEvent::MouseButtonRelease && left) {
                view_.release();
            } else if (event->type() == QEvent::MouseButtonDblClick && left) {
                view_.doubleClick();
            } else {
                return false;
            }
            redraw();
            return true;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const QPoint delta = wheel->angleDelta();
            wheelRest_ += delta.y() != 0 ? delta.y() : delta.x();
            const int steps = wheelRest_ / kWheelNotch;
            wheelRest_ -= steps * kWheelNotch;
            const QPoint at = toPicture(wheel->position().toPoint());
            view_.wheel(at.x(), at.y(), steps, wheel->modifiers().testFlag(Qt::ShiftModifier));
            redraw();
            return true;
        }
        case QEvent::ContextMenu: {
            const bool record = haveRecord_ && dataValid_ == 1;
            action("keepReference")->setEnabled(record);
            action("clearReference")->setEnabled(view_.hasReference());
            action("clearCursors")
                ->setEnabled(view_.cursor(PlotCursor::A) || view_.cursor(PlotCursor::B));
            action("exportCsv")->setEnabled(record);
            action("saveImage")->setEnabled(!plot_.image().isNull());
            action("copyImage")->setEnabled(!plot_.image().isNull());
            QMenu menu(&window_);
            for (QAction* a : actions_) {
                menu.addAction(a);
                if (a == action("clearCursors")) {
                    menu.addSeparator();
                }
            }
            menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        default:
            return false;
    }
}

}  // namespace qx::ui
