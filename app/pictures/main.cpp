// quendrix-pictures [--scale F] OUTDIR [NAME...]: renders every window of Quendrix into
// OUTDIR/NAME.png, offscreen, against the built-in simulated drive on COM1, then runs
// itself again to render them at twice the scale into OUTDIR/NAME@2x.png. With names, only
// those; with --scale, only at that scale. A text that a control cuts off is reported,
// and the run then fails.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <cstdio>
#include <cstring>

#include "app/SharedState.h"
#include "app/ui/AppIcon.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiContext.h"
#include "app/ui/Pictures.h"
#include "app/ui/TextFit.h"
#include "link/Clock.h"
#include "link/PortMap.h"
#include "sim/SimOptions.h"

namespace {

constexpr const char* kUsage =
    "Usage: quendrix-pictures [--scale F] OUTDIR [NAME...]\n"
    "Renders every window of Quendrix offscreen, against the built-in simulated drive on\n"
    "COM1, into OUTDIR/NAME.png and, at twice the scale, OUTDIR/NAME@2x.png; with names,\n"
    "only those windows. A text that a control cuts off is reported and fails the run.\n"
    "\n"
    "  --scale F   Render at the scale F only, into OUTDIR/NAME.png.\n"
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

// The second scale every run renders, and the option that asks for one scale only.
constexpr const char* kSecondScale = "2";
constexpr const char* kScaleOption = "--scale";

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(QuietHandler);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The scale is the platform's: it is set before the application exists.
    QString suffix;
    const bool oneScale = argc > 2 && std::strcmp(argv[1], kScaleOption) == 0;
    if (oneScale) {
        qputenv("QT_SCALE_FACTOR", argv[2]);
        suffix = QStringLiteral("@%1x").arg(QString::fromLocal8Bit(argv[2]));
    }
    QApplication application(argc, argv);
    // The same look wherever the pictures are made.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(qx::ui::AppIcon());

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (oneScale) {
        arguments.remove(0, 2);
    }
    if (!arguments.isEmpty() && (arguments.front() == QStringLiteral("--help") ||
                                 arguments.front() == QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (arguments.isEmpty() || arguments.front().startsWith(QLatin1Char('-'))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QStringList forSecondScale = arguments;
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
        const QString path = outDir.filePath(picture.name + suffix + QStringLiteral(".png"));
        const QImage image = qx::ui::RenderWindow(window);
        for (const qx::ui::ClippedText& c : qx::ui::FindClippedTexts(window)) {
            std::fprintf(stderr, "quendrix-pictures: %s: %s cuts \"%s\" (%d px in %d)\n",
                         qPrintable(picture.name), qPrintable(c.control), qPrintable(c.text),
                         c.needed, c.available);
            ++failures;
        }
        if (!image.save(path)) {
            std::fprintf(stderr, "quendrix-pictures: cannot write %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
        if (window != stage.mainWindow()) {
            delete window;
        }
    }
    if (!oneScale) {
        const int second = QProcess::execute(
            QApplication::applicationFilePath(),
            QStringList{QString::fromLatin1(kScaleOption), QString::fromLatin1(kSecondScale)} +
                forSecondScale);
        failures += second == 0 ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
