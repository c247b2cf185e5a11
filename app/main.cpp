// quendrix: the window program. One main window whose menu reaches every function of
// the tool; the drive is first addressed when the user picks a COM port.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string_view>

#include "app/SharedState.h"
#include "app/ui/AppIcon.h"
#include "app/ui/AppInfo.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/GuiCommandLine.h"
#include "app/ui/GuiContext.h"
#include "link/Clock.h"

namespace {

// Help and version need no display: they are answered before the window system is
// reached, so that they work on a terminal without one.
bool AsksForHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-?" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

int AnswerHelpOrVersion(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    qx::ui::GuiCommandLine commandLine;
    commandLine.parse(QCoreApplication::arguments());
    if (commandLine.versionRequested() && !commandLine.helpRequested()) {
        std::printf("%s\n", qx::ui::kVersionText);
    } else {
        std::fputs(qPrintable(commandLine.helpText()), stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (AsksForHelpOrVersion(argc, argv)) {
        return AnswerHelpOrVersion(argc, argv);
    }
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
