#include "monitor/ui/CPortsStateDlg.h"

#include <QColor>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "app/ui/Controls.h"
#include "app/ui/WaitCursor.h"
#include "monitor/StatusWords.h"
#include "ui_CPortsStateDlg.h"

namespace qx::ui {

namespace {

QColor ToColor(Rgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

// A circle filling an image of the lamp's size on the button face, in one colour.
QPixmap LampImage(QSize size, const QColor& face, Rgb rgb) {
    QPixmap image(size);
    image.fill(face);
    QPainter painter(&image);
    const QColor colour = ToColor(rgb);
    painter.setPen(QPen(colour, 1));
    painter.setBrush(colour);
    // The outline is drawn on the rectangle's edge pixels, not beyond them.
    painter.drawEllipse(QRect(QPoint(0, 0), size - QSize(1, 1)));
    return image;
}

}  // namespace

CPortsStateDlg::CPortsStateDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CPortsStateDlg>()),
      monitor_(context.link(), context.state().driveStatus) {
    ui_->setupUi(this);
    for (int i = 0; i < kLampCount; ++i) {
        QLabel* lamp = FindControl<QLabel>(this, kLamps[static_cast<std::size_t>(i)].controlId);
        lamp->setAlignment(Qt::AlignCenter);
        lamps_[static_cast<std::size_t>(i)] = lamp;
    }
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CPortsStateDlg::reject);
    redrawTimer_.setInterval(kRedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, &CPortsStateDlg::redraw);
}

CPortsStateDlg::~CPortsStateDlg() {
    stopMonitor();
}

void CPortsStateDlg::onInitDialog() {
    redrawTimer_.start();
    auto owner = messages();
    monitor_.start(*owner);
    drawLamps();
}

void CPortsStateDlg::redraw() {
    if (monitor_.waiting()) {
        // A thread an earlier monitor left behind is still on the link.
        auto owner = messages();
        monitor_.start(*owner);
    }
    const SharedState& state = context().state();
    if (state.link.driveConnected == 1) {
        states_ = ComputeLampStates(LoadStatusWords(state.driveStatus));
    }
    drawLamps();
}

void CPortsStateDlg::drawLamps() {
    // Two images a tick, one lit and one dark, shared by every lamp.
    const QSize size = lamps_[0]->contentsRect().size();
    const QColor face = palette().color(QPalette::Button);
    const QPixmap lit = LampImage(size, face, kLampLit);
    const QPixmap dark = LampImage(size, face, kLampDark);
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i]->setPixmap(states_[i] == 1 ? lit : dark);
    }
}

void CPortsStateDlg::done(int result) {
    stopMonitor();
    ModalDialog::done(result);
}

void CPortsStateDlg::stopMonitor() {
    redrawTimer_.stop();
    if (monitor_.started()) {
        // Before anything else, so that the poll under way is the last one.
        monitor_.requestStop();
        WaitCursor busy;
        monitor_.stop();
    }
}

}  // namespace qx::ui
