#include "app/ui/Pictures.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QWidget>
#include <cerrno>

#include "app/ui/CAboutDlg.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/CommandIds.h"
#include "app/ui/DataExchange.h"
#include "app/ui/GuiContext.h"
#include "app/ui/MessageBoxSink.h"
#include "capture/ui/CCurrentCaptureSettingDlg.h"
#include "capture/ui/CCurrentLoopDlg.h"
#include "capture/ui/CNormalMonitorDlg.h"
#include "capture/ui/CPositionCaptureSettingDlg.h"
#include "capture/ui/CPositionLoopDlg.h"
#include "capture/ui/CSpeedCaptureSettingDlg.h"
#include "capture/ui/CSpeedLoopDlg.h"
#include "capture/ui/CapturePictures.h"
#include "link/ConnectDrive.h"
#include "link/PortFailure.h"
#include "link/ui/CAboutServoDlg.h"
#include "link/ui/CPortSettingsDlg.h"
#include "monitor/ui/MonitorPictures.h"
#include "motor/ui/MotorPictures.h"
#include "params/ParamSettingCommand.h"
#include "params/ui/CParamLoadingDlg.h"
#include "params/ui/CUserParamDlg.h"
#include "params/ui/ParamPictures.h"

namespace qx::ui {

namespace {

class SilentSink final : public MessageSink {
  public:
    void show(const std::string&, const std::string&) override {}
};

class QuietLoad final : public ParamLoadProgress {
  public:
    void post(ParamLoadStage, int) override {}
};

// A bit-field parameter: its help carries one of the character-drawn bit tables.
constexpr int kPictureParam = 8;

template <typename Dialog>
QWidget* PreparedDialog(PictureStage& stage) {
    auto* dialog = new Dialog(stage.context(), stage.mainWindow());
    dialog->prepare();
    return dialog;
}

QWidget* Box(PictureStage& stage, const char* text, const char* title) {
    return MessageBoxSink::MakeBox(stage.mainWindow(), QString::fromLatin1(text),
                                   QString::fromLatin1(title))
        .release();
}

// The main window with one of its menus pulled down (and, with `submenu`, that submenu
// opened too), as one picture carrying the window's title.
QWidget* MenuOpen(PictureStage& stage, const QString& caption, const QString& submenu = {}) {
    auto* frame = stage.app().mainFrame();
    QMenuBar* bar = frame->menuBar();
    QPixmap picture = frame->grab();
    QPainter painter(&picture);
    for (QAction* top : bar->actions()) {
        if (top->text() != caption || top->menu() == nullptr) {
            continue;
        }
        QMenu* menu = top->menu();
        menu->ensurePolished();
        menu->resize(menu->sizeHint());
        const QPoint at = bar->mapTo(frame, bar->actionGeometry(top).bottomLeft());
        painter.drawPixmap(at, menu->grab());
        for (QAction* item : menu->actions()) {
            if (item->menu() != nullptr && item->text() == submenu) {
                QMenu* sub = item->menu();
                sub->ensurePolished();
                sub->resize(sub->sizeHint());
                const QRect row = menu->actionGeometry(item);
                painter.drawPixmap(at + QPoint(row.right() - 2, row.top() - 3), sub->grab());
            }
        }
    }
    painter.end();
    auto* label = new QLabel;
    label->setPixmap(picture);
    label->setWindowTitle(frame->windowTitle());
    label->setWindowIcon(frame->windowIcon());
    label->resize(picture.size());
    return label;
}

// The main window after "COM1" reached the drive, its box answered.
QWidget* ConnectedMainWindow(PictureStage& stage) {
    GuiContext& context = stage.context();
    context.setMessageSinkFactory([](QWidget*) { return std::make_unique<SilentSink>(); });
    stage.app().onCommand(ID_COM1);
    context.setMessageSinkFactory(
        [](QWidget* owner) { return std::make_unique<MessageBoxSink>(owner); });
    stage.mainWindow()->resize(640, 420);
    return stage.mainWindow();
}

// COM1 left to follow the adapters, COM2 on a typed device, COM4 on the simulated drive.
QWidget* PortSettingsPicture(PictureStage& stage) {
    auto* dialog = new CPortSettingsDlg(stage.context(), stage.mainWindow());
    dialog->prepare();
    dialog->comboFor(2)->setEditText(QStringLiteral("/dev/ttyUSB0"));
    dialog->comboFor(4)->setCurrentIndex(dialog->comboFor(4)->count() - 1);
    return dialog;
}

}  // namespace

PictureStage::PictureStage(CQuendrixApp& app, GuiContext& context) : app_(app), context_(context) {}

QWidget* PictureStage::mainWindow() {
    return app_.mainFrame();
}

bool PictureStage::connectDrive() {
    SilentSink silent;
    return ChooseComPort(context_.link(), context_.state().identity, silent, 1) == 1;
}

std::vector<Picture> AllPictures() {
    return {
        {QStringLiteral("main-window"),
         [](PictureStage& s) {
             s.mainWindow()->resize(640, 420);
             return s.mainWindow();
         }},
        {QStringLiteral("main-window-connected"), ConnectedMainWindow},
        {QStringLiteral("port-settings"), PortSettingsPicture},
        {QStringLiteral("message-port-detail"),
         [](PictureStage& s) {
             const std::string detail = PortFailureDetail(
                 {PortStage::Create,
                  "COM1",
                  "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 (FTDI FT232R "
                  "USB UART (A50285BI))",
                  EACCES,
                  {}});
             return MessageBoxSink::MakeBox(s.mainWindow(), QStringLiteral("Create COM1 Fails!"),
                                            QStringLiteral("Warning"),
                                            QString::fromStdString(detail))
                 .release();
         }},
        {QStringLiteral("menu-file"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("&File")); }},
        {QStringLiteral("menu-com"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("COM")); }},
        {QStringLiteral("menu-monitor"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("Monitor")); }},
        {QStringLiteral("menu-capture"),
         [](PictureStage& s) {
             return MenuOpen(s, QStringLiteral("&Capture"), QStringLiteral("Setting..."));
         }},
        {QStringLiteral("menu-motor"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("&Motor")); }},
        {QStringLiteral("menu-tools"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("&Tools")); }},
        {QStringLiteral("menu-help"),
         [](PictureStage& s) { return MenuOpen(s, QStringLiteral("&Help")); }},
        {QStringLiteral("about-quendrix"), PreparedDialog<CAboutDlg>},
        {QStringLiteral("message-connected"),
         [](PictureStage& s) { return Box(s, "Connectting with servo succeeds!", "Notes"); }},
        {QStringLiteral("message-mismatch"),
         [](PictureStage& s) { return Box(s, "Quendrix mismatchs the servo!", "Warning"); }},
        {QStringLiteral("about-servo"),
         [](PictureStage& s) {
             s.connectDrive();
             return PreparedDialog<CAboutServoDlg>(s);
         }},
        {QStringLiteral("motor-setting"), MotorSettingPicture},
        {QStringLiteral("motor-setting-matching"), MotorMatchingPicture},
        {QStringLiteral("encoder-fixing"), EncoderFixingPicture},
        {QStringLiteral("magnet-direction"), MagnetDirectionPicture},
        {QStringLiteral("param-loading"),
         [](PictureStage& s) -> QWidget* {
             // Halfway through the ranges, as the worker's reports would leave it.
             auto* dialog = new CParamLoadingDlg(s.context(), s.mainWindow());
             dialog->onLoadProgress(ParamLoadStage::Ranges, 46);
             return dialog;
         }},
        {QStringLiteral("param-editor"),
         [](PictureStage& s) -> QWidget* {
             s.connectDrive();
             QuietLoad quiet;
             LoadParamTableInline(s.context().link(), s.context().state(), quiet);
             auto* dialog = new CUserParamDlg(s.context(), s.mainWindow());
             dialog->prepare();
             dialog->showParam(kPictureParam);
             return dialog;
         }},
        {QStringLiteral("message-range-prompt"),
         [](PictureStage& s) {
             return MessageBoxSink::MakeBox(s.mainWindow(),
                                            DataExchange::IntegerRangePrompt(1, 1024),
                                            QStringLiteral("Quendrix"))
                 .release();
         }},
        {QStringLiteral("current-loop"), TuningWindowPicture<CCurrentLoopDlg>},
        {QStringLiteral("speed-loop"), TuningWindowPicture<CSpeedLoopDlg>},
        {QStringLiteral("position-loop"), TuningWindowPicture<CPositionLoopDlg>},
        {QStringLiteral("normal-monitor-auto"), TuningWindowPicture<CNormalMonitorDlg>},
        {QStringLiteral("normal-monitor-triggered"), TriggeredMonitorPicture},
        {QStringLiteral("current-loop-scope"), TuningScopePicture},
        {QStringLiteral("current-loop-tune"), TuningAssistantPicture},
        {QStringLiteral("current-capture-setting"),
         CaptureSettingPicture<CCurrentCaptureSettingDlg>},
        {QStringLiteral("speed-capture-setting"), CaptureSettingPicture<CSpeedCaptureSettingDlg>},
        {QStringLiteral("position-capture-setting"),
         CaptureSettingPicture<CPositionCaptureSettingDlg>},
        {QStringLiteral("param-table"), ParamTablePicture},
        {QStringLiteral("param-file"), ParamFilePicture},
        {QStringLiteral("servo-state"), ServoStatePicture},
        {QStringLiteral("ports-state"), PortsStatePicture},
    };
}

QImage RenderWindow(QWidget* window) {
    window->show();
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
    const QPixmap client = window->grab();
    // In the window's own pixels: at a scale of 2 every logical pixel is two.
    const qreal scale = client.devicePixelRatio();
    const QSize clientSize = client.deviceIndependentSize().toSize();

    QFont captionFont = window->font();
    captionFont.setBold(true);
    const int captionHeight = QFontMetrics(captionFont).height() + 8;
    const int border = 3;
    const QSize logical(clientSize.width() + 2 * border,
                        clientSize.height() + captionHeight + 2 * border);
    QImage image(logical * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(QColor(0xd4, 0xd0, 0xc8));

    QPainter painter(&image);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRect(QPoint(), logical).adjusted(0, 0, -1, -1));
    const QRect caption(border, border, clientSize.width(), captionHeight);
    QLinearGradient gradient(caption.topLeft(), caption.topRight());
    gradient.setColorAt(0.0, QColor(0x0a, 0x24, 0x6a));
    gradient.setColorAt(1.0, QColor(0xa6, 0xca, 0xf0));
    painter.fillRect(caption, gradient);
    int textLeft = caption.left() + 6;
    if (!window->inherits("QDialog")) {
        const int side = captionHeight - 6;
        painter.drawPixmap(textLeft, caption.top() + 3, window->windowIcon().pixmap(side, side));
        textLeft += side + 6;
    }
    painter.setFont(captionFont);
    painter.setPen(Qt::white);
    painter.drawText(QRect(textLeft, caption.top(), caption.right() - textLeft, captionHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
    painter.drawPixmap(border, border + captionHeight, client);
    return image;
}

}  // namespace qx::ui
