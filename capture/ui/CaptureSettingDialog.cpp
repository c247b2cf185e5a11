#include "capture/ui/CaptureSettingDialog.h"

#include <QPushButton>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/DeltaSpin.h"
#include "capture/ui/CapturePainting.h"
#include "capture/ui/ImageFrame.h"

namespace qx::ui {

namespace {

constexpr int kPreviewPeriodMs = 50;

}  // namespace

CaptureSettingDialog::CaptureSettingDialog(GuiContext& context, QWidget* parent, CaptureKind kind)
    : ModalDialog(context, parent), kind_(kind), limits_(SettingLimits(kind)) {
    timer_.setInterval(kPreviewPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CaptureSettingDialog::drawPreview);
}

CaptureSettingDialog::~CaptureSettingDialog() {
    // Hiding the window on its way out takes the focus from an edit; its handlers belong
    // to the part of the window already gone.
    for (CommitLineEdit* edit : findChildren<CommitLineEdit*>()) {
        disconnect(edit, nullptr, this, nullptr);
    }
}

int32_t CaptureSettingDialog::baseRate() {
    return context().state().identity.baseSampleRateHz.load();
}

void CaptureSettingDialog::bind(const Controls& c) {
    controls_ = c;
    connect(c.ok, &QPushButton::clicked, this, &CaptureSettingDialog::accept);
    connect(c.cancel, &QPushButton::clicked, this, &CaptureSettingDialog::reject);

    auto plain = [this] { commitThen([] {}); };
    connect(c.range, &CommitLineEdit::committed, this, plain);
    connect(c.lasting, &CommitLineEdit::committed, this, plain);
    connect(c.count, &CommitLineEdit::committed, this, plain);
    connect(c.rate, &CommitLineEdit::committed, this,
            [this] { commitThen([this] { SnapSampleRate(fields_, baseRate()); }); });
    connect(c.start, &CommitLineEdit::committed, this,
            [this] { commitThen([this] { SnapSampleStart(fields_); }); });

    connect(c.rangeSpin, &DeltaSpin::deltaPos, this,
            [this](int d) { commitThen([this, d] { SpinRange(fields_, limits_, d); }); });
    connect(c.lastingSpin, &DeltaSpin::deltaPos, this,
            [this](int d) { commitThen([this, d] { SpinLastingTime(fields_, limits_, d); }); });
    connect(c.countSpin, &DeltaSpin::deltaPos, this,
            [this](int d) { commitThen([this, d] { SpinSampleCount(fields_, limits_, d); }); });
    connect(c.startSpin, &DeltaSpin::deltaPos, this,
            [this](int d) { commitThen([this, d] { SpinSampleStart(fields_, d); }); });
    connect(c.rateSpin, &DeltaSpin::deltaPos, this,
            [this](int d) { commitThen([this, d] { SpinSampleRate(fields_, baseRate(), d); }); });
}

void CaptureSettingDialog::commitThen(const std::function<void()>& rule) {
    updateData(true);
    rule();
    updateData(false);
}

void CaptureSettingDialog::exchangeRange(DataExchange& x) {
    if (limits_.rangeIsFloat) {
        x.text(controls_.range, fields_.range);
        x.minMax(fields_.range, static_cast<float>(limits_.rangeCommitMin),
                 static_cast<float>(limits_.rangeCommitMax));
        return;
    }
    int whole = static_cast<int>(fields_.range);
    x.text(controls_.range, whole);
    x.minMax(whole, static_cast<int>(limits_.rangeCommitMin),
             static_cast<int>(limits_.rangeCommitMax));
    if (x.saving()) {
        fields_.range = static_cast<float>(whole);
    }
}

void CaptureSettingDialog::exchangeLasting(DataExchange& x) {
    x.text(controls_.lasting, fields_.lastingTimeMs);
    x.minMax(fields_.lastingTimeMs, limits_.lastingCommitMin, limits_.lastingCommitMax);
}

void CaptureSettingDialog::exchangeCount(DataExchange& x) {
    x.text(controls_.count, fields_.sampleCount);
    x.minMax(fields_.sampleCount, 1, limits_.countMax);
}

void CaptureSettingDialog::exchangeStart(DataExchange& x) {
    x.text(controls_.start, fields_.samplePosition);
    x.minMax(fields_.samplePosition, limits_.startCommitMin, limits_.startCommitMax);
}

void CaptureSettingDialog::exchangeRate(DataExchange& x) {
    x.text(controls_.rate, fields_.sampleRateHz);
}

void CaptureSettingDialog::doDataExchange(DataExchange& x) {
    // In each dialog's own field order: the first refusal stops the exchange there.
    switch (kind_) {
        case CaptureKind::Current:
            exchangeCount(x);
            exchangeStart(x);
            exchangeRange(x);
            exchangeLasting(x);
            exchangeRate(x);
            break;
        case CaptureKind::Speed:
            exchangeCount(x);
            exchangeRate(x);
            exchangeStart(x);
            exchangeRange(x);
            exchangeLasting(x);
            break;
        case CaptureKind::Position:
            exchangeCount(x);
            exchangeRate(x);
            exchangeStart(x);
            exchangeLasting(x);
            exchangeRange(x);
            break;
    }
}

void CaptureSettingDialog::onInitDialog() {
    timer_.start();
    fields_ = OpenCaptureSettings(SettingsForLoop(context().state(), kind_), baseRate());
    updateData(false);
    drawPreview();
}

void CaptureSettingDialog::onOK() {
    if (!updateData(true)) {
        return;
    }
    ApplyCaptureSettings(fields_, SettingsForLoop(context().state(), kind_));
    endDialog(kIdOk);
}

void CaptureSettingDialog::drawPreview() {
    if (controls_.preview != nullptr) {
        DrawCapturePreview(*controls_.preview, fields_);
    }
}

}  // namespace qx::ui
