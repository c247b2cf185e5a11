#include "capture/ui/CNormalMonitorDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/DataExchange.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/GuiContext.h"
#include "capture/ui/CaptureScope.h"
#include "capture/ui/ImageFrame.h"

namespace qx::ui {

namespace {

constexpr int kDialogWidth = 668;
constexpr int kDialogHeight = 426;
constexpr int kEditWidth = 80;
constexpr int kSpinWidth = 16;
constexpr int kRowHeight = 22;

template <typename W>
W* Control(QWidget* parent, const char* name, const QRect& at) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(at);
    return w;
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* text, const QRect& at) {
    auto* r = Control<QRadioButton>(parent, name, at);
    r->setText(QString::fromLatin1(text));
    return r;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title, const QRect& at) {
    auto* g = Control<QGroupBox>(parent, name, at);
    g->setTitle(QString::fromLatin1(title));
    return g;
}

}  // namespace

CNormalMonitorDlg::CNormalMonitorDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent), windowMessages_(context.messagesFor(this)) {
    setObjectName(QStringLiteral("CNormalMonitorDlg"));
    setWindowTitle(QStringLiteral("Normal operation monitor"));
    setProperty("templateId", 138);
    setFixedSize(kDialogWidth, kDialogHeight);
    monitor_ =
        std::make_unique<FreeRunMonitor>(context.state(), context.link(), *windowMessages_, *this);

    plotControl_ = Control<ImageFrame>(this, "IDC_1173", QRect(11, 11, 444, 367));
    plotControl_->setFrameShape(QFrame::Panel);
    plotControl_->setFrameShadow(QFrame::Sunken);
    caption_ = Control<QLabel>(this, "IDC_1232", QRect(11, 386, 444, 18));

    QGroupBox* type = Group(this, "IDC_1172", "Monitor Type", QRect(465, 6, 192, 86));
    current_ = Radio(type, "IDC_1157", "Current Monitor", QRect(10, 18, 170, 20));
    speed_ = Radio(type, "IDC_1159", "Speed Monitor", QRect(10, 40, 170, 20));
    position_ = Radio(type, "IDC_1160", "Position Monitor", QRect(10, 62, 170, 20));

    QGroupBox* sample = Group(this, "IDC_1165", "Sample", QRect(465, 94, 192, 74));
    auto* rateLabel = Control<QLabel>(sample, "IDC_STATIC_RATE", QRect(8, 18, 108, kRowHeight));
    rateLabel->setText(QStringLiteral("Sample Rate (Hz)"));
    rateEdit_ = Control<CommitLineEdit>(sample, "IDC_1168", QRect(116, 18, kEditWidth - 32, 20));
    rateSpin_ = Control<DeltaSpin>(sample, "IDC_1170", QRect(168, 18, kSpinWidth, 20));
    auto* countLabel = Control<QLabel>(sample, "IDC_STATIC_COUNT", QRect(8, 44, 108, kRowHeight));
    countLabel->setText(QStringLiteral("Sample Number"));
    countEdit_ = Control<CommitLineEdit>(sample, "IDC_1169", QRect(116, 44, kEditWidth - 32, 20));
    countSpin_ = Control<DeltaSpin>(sample, "IDC_1171", QRect(168, 44, kSpinWidth, 20));

    QGroupBox* mode = Group(this, "IDC_1176", "Triger Type", QRect(465, 170, 192, 46));
    single_ = Radio(mode, "IDC_1230", "Single Triger", QRect(8, 18, 96, 20));
    autoRun_ = Radio(mode, "IDC_1174", "Auto Run", QRect(108, 18, 80, 20));

    QGroupBox* trigger = Group(this, "IDC_1055", "Single Triger", QRect(465, 218, 192, 124));
    rising_ = Radio(trigger, "IDC_1158", "Rising", QRect(8, 18, 80, 20));
    falling_ = Radio(trigger, "IDC_1161", "Falling", QRect(100, 18, 80, 20));
    auto* valueLabel = Control<QLabel>(trigger, "IDC_STATIC_VALUE", QRect(8, 44, 80, kRowHeight));
    valueLabel->setText(QStringLiteral("Triger Value"));
    triggerEdit_ = Control<CommitLineEdit>(trigger, "IDC_1163", QRect(86, 44, 50, 20));
    triggerSpin_ = Control<DeltaSpin>(trigger, "IDC_1164", QRect(136, 44, kSpinWidth, 20));
    unit_ = Control<QLineEdit>(trigger, "IDC_1175", QRect(154, 44, 32, 20));
    unit_->setEnabled(false);
    auto* offsetLabel = Control<QLabel>(trigger, "IDC_STATIC_OFFSET", QRect(8, 72, 80, kRowHeight));
    offsetLabel->setText(QStringLiteral("Wave Offset"));
    offsetEdit_ = Control<CommitLineEdit>(trigger, "IDC_1178", QRect(86, 72, 50, 20));
    offsetSpin_ = Control<DeltaSpin>(trigger, "IDC_1179", QRect(136, 72, kSpinWidth, 20));
    refresh_ = Control<QPushButton>(trigger, "IDC_3", QRect(8, 96, 176, 24));
    refresh_->setText(QStringLiteral("Refresh"));

    auto* quit = Control<QPushButton>(this, "IDC_1", QRect(465, 380, 192, 28));
    quit->setText(QStringLiteral("Quit"));
    quit->setDefault(true);
    connect(quit, &QPushButton::clicked, this, &CNormalMonitorDlg::accept);
    connect(refresh_, &QPushButton::clicked, this, &CNormalMonitorDlg::refresh);

    const std::pair<QRadioButton*, CaptureKind> types[] = {
        {current_, CaptureKind::Current},
        {speed_, CaptureKind::Speed},
        {position_, CaptureKind::Position},
    };
    for (auto [button, kind] : types) {
        connect(button, &QRadioButton::clicked, this, [this, k = kind] {
            monitor_->chooseType(k);
            updateData(false);
        });
    }
    connect(single_, &QRadioButton::clicked, this, [this] {
        monitor_->chooseAutoRun(false);
        showState();
    });
    connect(autoRun_, &QRadioButton::clicked, this, [this] {
        monitor_->chooseAutoRun(true);
        showState();
    });
    connect(rising_, &QRadioButton::clicked, this,
            [this] { monitor_->chooseEdge(kTriggerRising); });
    connect(falling_, &QRadioButton::clicked, this,
            [this] { monitor_->chooseEdge(kTriggerFalling); });

    connect(countEdit_, &CommitLineEdit::committed, this,
            [this] { edit([this] { monitor_->editSampleCount(count_); }); });
    connect(rateEdit_, &CommitLineEdit::committed, this,
            [this] { edit([this] { monitor_->editSampleRate(rate_); }); });
    connect(triggerEdit_, &CommitLineEdit::committed, this,
            [this] { edit([this] { monitor_->editTriggerValue(trigger_); }); });
    connect(offsetEdit_, &CommitLineEdit::committed, this,
            [this] { edit([this] { monitor_->editWaveOffset(offset_); }); });
    connect(countSpin_, &DeltaSpin::deltaPos, this,
            [this](int d) { edit([this, d] { monitor_->spinSampleCount(d); }); });
    connect(rateSpin_, &DeltaSpin::deltaPos, this,
            [this](int d) { edit([this, d] { monitor_->spinSampleRate(d); }); });
    connect(triggerSpin_, &DeltaSpin::deltaPos, this,
            [this](int d) { edit([this, d] { monitor_->spinTriggerValue(d); }); });
    connect(offsetSpin_, &DeltaSpin::deltaPos, this,
            [this](int d) { edit([this, d] { monitor_->spinWaveOffset(d); }); });

    timer_.setInterval(static_cast<int>(kFreeRunTimerMs));
    connect(&timer_, &QTimer::timeout, this, &CNormalMonitorDlg::onTimer);
    scope_ = new CaptureScope(*this, *plotControl_, context, nullptr);
}

CNormalMonitorDlg::~CNormalMonitorDlg() {
    // Hiding the window on its way out takes the focus from an edit; its handlers belong
    // to the part of the window already gone.
    for (CommitLineEdit* e : findChildren<CommitLineEdit*>()) {
        disconnect(e, nullptr, this, nullptr);
    }
    closeMonitor();
}

void CNormalMonitorDlg::sampleDone() {
    QMetaObject::invokeMethod(
        this, [this] { onSampleDone(); }, Qt::QueuedConnection);
}

void CNormalMonitorDlg::done(int result) {
    closeMonitor();
    ModalDialog::done(result);
}

void CNormalMonitorDlg::onInitDialog() {
    const bool connected = monitor_->open();
    updateData(false);
    if (connected) {
        timer_.start();
        redraw();
    }
    scope_->showState(monitor_->captureState());
}

void CNormalMonitorDlg::onOK() {
    // "Quit" ends the window whatever the edits hold: every entry was already taken (and
    // held to its limits) when its edit was left.
    endDialog(kIdOk);
}

void CNormalMonitorDlg::doDataExchange(DataExchange& exchange) {
    if (!exchange.saving()) {
        const FreeRunView& v = monitor_->view();
        count_ = v.sampleCount;
        rate_ = v.sampleRateHz;
        trigger_ = v.triggerValue;
        offset_ = v.waveOffset;
    }
    exchange.text(countEdit_, count_);
    exchange.minMax(count_, 1, kMaxCurrentOrSpeedPoints);
    exchange.text(rateEdit_, rate_);
    exchange.minMax(rate_, 1, kOpeningBaseRateHz);
    if (monitor_->view().kind == CaptureKind::Current) {
        // Amperes are kept in single precision; shown as such, not with the digits a
        // double would add.
        auto amps = static_cast<float>(trigger_);
        exchange.text(triggerEdit_, amps);
        trigger_ = amps;
    } else {
        exchange.text(triggerEdit_, trigger_);
    }
    exchange.text(offsetEdit_, offset_);
    if (!exchange.saving()) {
        showState();
    }
}

void CNormalMonitorDlg::showState() {
    const FreeRunView& v = monitor_->view();
    current_->setChecked(v.kind == CaptureKind::Current);
    speed_->setChecked(v.kind == CaptureKind::Speed);
    position_->setChecked(v.kind == CaptureKind::Position);
    autoRun_->setChecked(v.autoRun == 1);
    single_->setChecked(v.autoRun != 1);
    rising_->setChecked(v.edge == kTriggerRising);
    falling_->setChecked(v.edge == kTriggerFalling);
    unit_->setText(QString::fromStdString(v.unit));
    caption_->setText(QString::fromStdString(v.caption));
    const bool trigger = monitor_->triggerControlsEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{rising_, falling_, triggerEdit_, triggerSpin_,
                                                      offsetEdit_, offsetSpin_, refresh_}) {
        w->setEnabled(trigger);
    }
}

void CNormalMonitorDlg::edit(const std::function<void()>& change) {
    // A refused entry has been prompted for once; the handler goes on with the value read
    // (the old one when the text was no number), holds it to its limits and shows what is
    // in use, so that no later edit meets the same refusal again.
    updateData(true);
    change();
    updateData(false);
}

void CNormalMonitorDlg::refresh() {
    if (monitor_->refresh()) {
        redraw();
    }
    scope_->showState(monitor_->captureState());
}

void CNormalMonitorDlg::onTimer() {
    if (context().state().link.driveConnected.load() != 1) {
        return;
    }
    monitor_->timerTick(plot_);
    redraw();
    scope_->showState(monitor_->captureState());
}

void CNormalMonitorDlg::onSampleDone() {
    if (!monitor_->capturing()) {
        return;  // a record that arrived while the window closed
    }
    monitor_->sampleDone(plot_);
    scope_->recordShown(plot_, monitor_->recordShape());
    ++recordsShown_;
    redraw();
    scope_->showState(monitor_->captureState());
}

void CNormalMonitorDlg::redraw() {
    scope_->draw(monitor_->plotInput(), plot_, monitor_->dataValid());
}

void CNormalMonitorDlg::closeMonitor() {
    timer_.stop();
    if (monitor_) {
        monitor_->close();
    }
}

}  // namespace qx::ui
