// quendrix-pictures OUTDIR [NAME...]: renders every window of Quendrix into OUTDIR/NAME.png,
// offscreen, against the built-in simulated drive on COM1. With names, only those.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <cstdio>

#include "app/SharedState.h"
#include "app/ui/AppIcon.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiContext.h"
#include "app/ui/Pictures.h"
#include "link/Clock.h"
#include "link/PortMap.h"
#include "sim/SimOptions.h"

namespace {

constexpr const char* kUsage =
    "Usage: quendrix-pictures OUTDIR [NAME...]\n"
    "Renders every window of Quendrix offscreen, against the built-in simulated drive on\n"
    "COM1, into OUTDIR/NAME.png; with names, only those windows.\n"
    "\n"
    "  -h, --help  Show this help and exit.\n";

// The offscreen platform warns about every fixed-size dialog; the pictures are right all
// the same, so that line is dropped and everything else passes through.
QtMessageHandler defaultHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("propagateSizeHints"))) {
        return;
    }
    defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(QuietHandler);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // The same look wherever the pictures are made.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(qx::ui::AppIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!arguments.isEmpty() && (arguments.front() == QStringLiteral("--help") ||
                                 arguments.front() == QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (arguments.isEmpty() || arguments.front().startsWith(QLatin1Char('-'))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QDir outDir(arguments.takeFirst());
    if (!QDir().mkpath(outDir.path())) {
        std::fprintf(stderr, "quendrix-pictures: cannot create %s\n", qPrintable(outDir.path()));
        return 1;
    }

    qx::SharedState state;
    qx::PortMap ports;
    ports.setDevice(1, qx::PortMap::kSimulatedDevice);
    qx::Clock& clock = qx::steadyClock();
    qx::ui::GuiContext context(state, clock, ports, qx::sim::MakeSimDrive({}, clock.nowUs()));
    qx::ui::CQuendrixApp app(context);
    if (!app.initInstance()) {
        return 1;
    }
    qx::ui::PictureStage stage(app, context);

    int failures = 0;
    for (const qx::ui::Picture& picture : qx::ui::AllPictures()) {
        if (!arguments.isEmpty() && !arguments.contains(picture.name)) {
            continue;
        }
        QWidget* window = picture.make(stage);
        const QString path = outDir.filePath(picture.name + QStringLiteral(".png"));
        if (!qx::ui::RenderWindow(window).save(path)) {
            std::fprintf(stderr, "quendrix-pictures: cannot write %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
        if (window != stage.mainWindow()) {
            delete window;
        }
    }
    return failures == 0 ? 0 : 1;
}
