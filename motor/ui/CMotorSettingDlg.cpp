#include "motor/ui/CMotorSettingDlg.h"

#include <QCursor>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/WaitCursor.h"
#include "motor/AutoMatchWorker.h"
#include "motor/MotorBlock.h"
#include "motor/ui/MatchBridge.h"
#include "ui_CMotorSettingDlg.h"

namespace qx::ui {

namespace {

constexpr int kProgressMax = 100;

// What a match disables until it succeeds: the integer edits and their spins, the
// encoder type, OK and Cancel.
constexpr int kMatchLockedControls[] = {1002, 1001, 1010, 1009, 1003, 1005, 1007, 1008, 1011,
                                        1012, 1013, 1014, 1004, 1006, 1193, 1194, 1,    2};

// A match that finds nothing to talk to sends nothing and reports nothing.
class NoReports final : public AutoMatchObserver {
  public:
    void report(int, const MotorFields&) override {}
    std::optional<int32_t> askMagnetDirection() override { return std::nullopt; }
};

}  // namespace

CMotorSettingDlg::CMotorSettingDlg(GuiContext& context, QWidget* parent)
    : ModalDialog(context, parent),
      ui_(std::make_unique<Ui::CMotorSettingDlg>()),
      session_(context.link()) {
    ui_->setupUi(this);

    connectFloatField(1021, 1022, &MotorFields::ratedCurrent, kRatedCurrentStep, nullptr);
    connectFloatField(1015, 1016, &MotorFields::rs, kResistanceStep, &SnapRs);
    connectFloatField(1017, 1018, &MotorFields::ls, kInductanceStep, &SnapLs);
    connectFloatField(1019, 1020, &MotorFields::ke, kBackEmfStep, &SnapKe);
    connectIntegerField(1002, 1001, &MotorFields::polePairs, kPolePairsRange);
    connectIntegerField(1010, 1009, &MotorFields::magnetDirection, kMagnetDirectionRange);
    connectIntegerField(1003, 1005, &MotorFields::pulseNumber, kPulseNumberRange);
    connectIntegerField(1007, 1008, &MotorFields::zPulseType, kZPulseTypeRange);
    connectIntegerField(1011, 1012, &MotorFields::pulseDirection, kPulseDirectionRange);
    connectIntegerField(1013, 1014, &MotorFields::uvwDirection, kUvwDirectionRange);
    connectIntegerField(1004, 1006, &MotorFields::encoderOffset, kEncoderOffsetRange);

    connect(ui_->IDC_1193, &QRadioButton::clicked, this,
            [this] { fields_.encoderType = kEncoderStandard; });
    connect(ui_->IDC_1194, &QRadioButton::clicked, this,
            [this] { fields_.encoderType = kEncoderLessWire; });
    connect(ui_->IDC_1175, &QPushButton::clicked, this, &CMotorSettingDlg::startMatch);
    connect(ui_->IDC_1, &QPushButton::clicked, this, &CMotorSettingDlg::accept);
    connect(ui_->IDC_2, &QPushButton::clicked, this, &CMotorSettingDlg::reject);
}

CMotorSettingDlg::~CMotorSettingDlg() {
    stopMatch();
    // Tearing the window down moves the focus out of its edits; their commits must not
    // reach a dialog that is already half gone.
    for (CommitLineEdit* edit : findChildren<CommitLineEdit*>()) {
        disconnect(edit, nullptr, this, nullptr);
    }
}

void CMotorSettingDlg::connectIntegerField(int editId, int spinId, int32_t MotorFields::*field,
                                           IntRange limits) {
    auto* edit = FindControl<CommitLineEdit>(this, editId);
    // Leaving the edit checks that field alone: a value out of range elsewhere is OK's to
    // refuse, not every click's.
    connect(edit, &CommitLineEdit::committed, this, [this, edit, field, limits] {
        DataExchange dx = exchange(true);
        dx.text(edit, fields_.*field);
        dx.minMax(fields_.*field, limits.min, limits.max);
    });
    // An arrow takes the number shown (it clamps it anyway) and shows its own field again,
    // leaving what is being typed elsewhere alone.
    connect(FindControl<DeltaSpin>(this, spinId), &DeltaSpin::deltaPos, this,
            [this, edit, field, limits](int delta) {
                DataExchange dx = exchange(true);
                dx.text(edit, fields_.*field);
                if (dx.failed()) {
                    return;
                }
                fields_.*field = limits.clamp(fields_.*field - delta);
                exchange(false).text(edit, fields_.*field);
            });
}

void CMotorSettingDlg::connectFloatField(int editId, int spinId, float MotorFields::*field,
                                         float step, FloatSnap snap) {
    CurrentLoopModel& model = context().state().currentLoopModel;
    auto* edit = FindControl<CommitLineEdit>(this, editId);
    connect(edit, &CommitLineEdit::committed, this, [this, edit, field, snap, &model] {
        DataExchange dx = exchange(true);
        dx.text(edit, fields_.*field);
        if (snap == nullptr) {
            // The rated current keeps the text as typed; only its word is snapped.
            SnapRatedCurrent(fields_);
            return;
        }
        snap(fields_, model);
        if (!dx.failed()) {
            exchange(false).text(edit, fields_.*field);
        }
    });
    connect(FindControl<DeltaSpin>(this, spinId), &DeltaSpin::deltaPos, this,
            [this, edit, field, step, snap, &model](int delta) {
                fields_.*field -= static_cast<float>(delta) * step;
                if (snap == nullptr) {
                    SnapRatedCurrent(fields_);
                } else {
                    snap(fields_, model);
                }
                exchange(false).text(edit, fields_.*field);
            });
}

void CMotorSettingDlg::doDataExchange(DataExchange& dx) {
    // An integer edit and its range check, one after the other as the exchange wants them.
    const auto ranged = [&dx](QWidget* edit, int32_t& value, IntRange r) {
        dx.text(edit, value);
        dx.minMax(value, r.min, r.max);
    };
    dx.text(ui_->IDC_1021, fields_.ratedCurrent);
    dx.text(ui_->IDC_1015, fields_.rs);
    dx.text(ui_->IDC_1017, fields_.ls);
    dx.text(ui_->IDC_1019, fields_.ke);
    ranged(ui_->IDC_1002, fields_.polePairs, kPolePairsRange);
    ranged(ui_->IDC_1010, fields_.magnetDirection, kMagnetDirectionRange);
    ranged(ui_->IDC_1003, fields_.pulseNumber, kPulseNumberRange);
    ranged(ui_->IDC_1007, fields_.zPulseType, kZPulseTypeRange);
    ranged(ui_->IDC_1011, fields_.pulseDirection, kPulseDirectionRange);
    ranged(ui_->IDC_1013, fields_.uvwDirection, kUvwDirectionRange);
    ranged(ui_->IDC_1004, fields_.encoderOffset, kEncoderOffsetRange);
    dx.text(ui_->IDC_1195, message_);
}

void CMotorSettingDlg::refresh() {
    message_ = QString::fromStdString(fields_.message);
    updateData(false);
    (fields_.encoderType == kEncoderLessWire ? ui_->IDC_1194 : ui_->IDC_1193)->setChecked(true);
}

void CMotorSettingDlg::onInitDialog() {
    LinkState& link = context().state().link;
    if (link.driveConnected == 1) {
        // Not WaitCursor: its flush would run events queued for the dialog before the
        // dialog has its data.
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ReadMotorBlock(session_, fields_, context().state().currentLoopModel, *messages());
        QGuiApplication::restoreOverrideCursor();
    }
    if (link.driveConnected == 0) {
        SetMotorDefaults(fields_);
    }
    ui_->IDC_1174->hide();
    refresh();
}

void CMotorSettingDlg::onOK() {
    if (matchRunning() || !updateData(true)) {
        return;
    }
    if (context().state().link.driveConnected == 1) {
        WaitCursor busy;
        // Its messages are the whole report: the dialog closes either way.
        WriteMotorBlock(session_, fields_, context().state().currentLoopModel, *messages());
    }
    endDialog(1);
}

void CMotorSettingDlg::reject() {
    if (matchRunning()) {
        return;
    }
    ModalDialog::reject();
}

bool CMotorSettingDlg::matchRunning() const {
    return worker_ != nullptr && worker_->running();
}

void CMotorSettingDlg::setMatchControlsEnabled(bool enabled) {
    for (const int id : kMatchLockedControls) {
        if (QWidget* control = FindControl(this, id)) {
            control->setEnabled(enabled);
        }
    }
}

void CMotorSettingDlg::takeMatchFields(const MotorFields& f) {
    // The float fields are the user's during a match: only what the match finds is taken.
    fields_.magnetDirection = f.magnetDirection;
    fields_.uvwDirection = f.uvwDirection;
    fields_.encoderType = f.encoderType;
    fields_.pulseDirection = f.pulseDirection;
    fields_.zPulseType = f.zPulseType;
    fields_.polePairs = f.polePairs;
    fields_.pulseNumber = f.pulseNumber;
    fields_.encoderOffset = f.encoderOffset;
    fields_.message = f.message;
}

void CMotorSettingDlg::showMatchProgress(int percent, const MotorFields& fields) {
    ui_->IDC_1174->setRange(0, kProgressMax);
    ui_->IDC_1174->show();
    setMatchControlsEnabled(false);
    ui_->IDC_1175->setEnabled(false);
    ui_->IDC_1174->setValue(percent);
    takeMatchFields(fields);
    refresh();
}

void CMotorSettingDlg::startMatch() {
    if (matchRunning()) {
        return;
    }
    stopMatch();  // joins the thread of an earlier match
    // The match replaces the fields a waiting prompt was about.
    dropWaitingPrompt();
    AutoMatchInput input{fields_, context().state().currentLoopModel};
    if (context().state().link.driveConnected != 1) {
        NoReports none;
        const std::atomic<bool> stop{false};
        finishMatch(AutoMatch(context().link(), input, none, *messages(), stop));
        return;
    }
    ui_->IDC_1174->setRange(0, kProgressMax);
    ui_->IDC_1174->setValue(0);
    ui_->IDC_1174->show();
    setMatchControlsEnabled(false);
    // Started once at a time: the window stays responsive while the match runs.
    ui_->IDC_1175->setEnabled(false);
    repaint();

    bridge_ = std::make_unique<MatchBridge>(
        context(), this,
        [this](int percent, const MotorFields& f) {
            ui_->IDC_1174->setValue(percent);
            takeMatchFields(f);
            refresh();
        },
        [this](const AutoMatchResult& r) { finishMatch(r); });
    worker_ = std::make_unique<AutoMatchWorker>(context().link(), *bridge_, *bridge_);
    MatchBridge* bridge = bridge_.get();
    worker_->start(input, [bridge](const AutoMatchResult& r) { bridge->finished(r); });
}

void CMotorSettingDlg::finishMatch(const AutoMatchResult& result) {
    takeMatchFields(result.fields);
    ui_->IDC_1174->setValue(result.percent);
    // Enabled again after a failure too, so the dialog can be closed or corrected.
    setMatchControlsEnabled(true);
    ui_->IDC_1175->setEnabled(true);
    refresh();
    repaint();
    emit matchFinished(result);
}

void CMotorSettingDlg::stopMatch() {
    // The flag first, so a question or a box cut short ends the match as stopped.
    if (worker_ != nullptr) {
        worker_->requestStop();
    }
    if (bridge_ != nullptr) {
        bridge_->cancel();
    }
    if (worker_ != nullptr) {
        worker_->stop();
    }
}

}  // namespace qx::ui
