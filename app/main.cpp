// quendrix: the window program. One main window whose menu reaches every function of
// the tool; the drive is first addressed when the user picks a COM port.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "app/SharedState.h"
#include "app/ui/AppIcon.h"
#include "app/ui/AppInfo.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiCommandLine.h"
#include "app/ui/GuiContext.h"
#include "link/Clock.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qx::ui::kAppTitle));
    QApplication::setApplicationVersion(QStringLiteral("2.2.913"));
    QApplication::setWindowIcon(qx::ui::AppIcon());

    qx::ui::GuiCommandLine commandLine;
    if (const auto error = commandLine.parse(QApplication::arguments())) {
        std::fprintf(stderr, "quendrix: %s\n%s", qPrintable(*error),
                     qPrintable(commandLine.helpText()));
        return 2;
    }
    if (commandLine.helpRequested()) {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    }
    if (commandLine.versionRequested()) {
        std::printf("%s\n", qx::ui::kVersionText);
        return 0;
    }

    const qx::ui::GuiOptions& options = commandLine.options();
    qx::Clock& clock = qx::steadyClock();
    qx::ui::GuiContext context(qx::sharedState(), clock, options.ports,
                               options.makeSimulatedDrive(clock), options.sim.pace);
    qx::ui::CQuendrixApp app(context);
    if (!app.initInstance(options.documentPath)) {
        return 1;
    }
    return QApplication::exec();
}
