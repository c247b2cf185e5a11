// The window program's own options: COM ports mapped for one run, the simulated drive,
// a document, and mistakes refused (the --sim-* options are the command-line tool's).

#include <gtest/gtest.h>

#include "app/ui/GuiCommandLine.h"

namespace qx::test {
namespace {

TEST(GuiCommandLineTest, PortsDocumentAndMistakes) {
    // Arguments, then COM1 to COM3 and the document, or "refused".
    const std::pair<const char*, const char*> rows[] = {
        {"", "|||"},
        {"--demo", "sim|||"},
        {"--com 2=/dev/ttyUSB0 --com 3=sim --sim-software 1004 drive.par",
         "|/dev/ttyUSB0|sim|drive.par"},
        {"--com 5=/dev/ttyUSB0", "refused"},
        {"--com ttyUSB0", "refused"},
        {"--sim-software 70000", "refused"},
        {"--no-such-option", "refused"},
        {"a.par b.par", "refused"},
    };
    for (const auto& [args, expected] : rows) {
        ui::GuiCommandLine line;
        QStringList list = QString::fromLatin1(args).split(' ', Qt::SkipEmptyParts);
        list.prepend(QStringLiteral("quendrix"));
        const auto& o = line.options();
        const std::string parsed = line.parse(list)
                                       ? "refused"
                                       : o.ports.device(1) + "|" + o.ports.device(2) + "|" +
                                             o.ports.device(3) + "|" + o.documentPath.toStdString();
        EXPECT_EQ(parsed, expected) << args;
        EXPECT_EQ(o.usesSimulatedDrive(), std::string(expected).find("sim") != std::string::npos);
    }
}

}  // namespace
}  // namespace qx::test
