// The window program's own options: COM ports mapped for one run, the simulated drive,
// a document to open, and mistakes explained. (The --sim-* options are parsed by the
// same code as the command-line tool's.)

#include <gtest/gtest.h>

#include "app/ui/GuiCommandLine.h"

namespace qx::test {
namespace {

TEST(GuiCommandLineTest, PortsDocumentAndMistakes) {
    const struct {
        QStringList args;
        std::string com1, com2, com3;  // "!" when the arguments are refused
        QString document;
    } rows[] = {
        {{}, "", "", "", ""},
        {{"--demo"}, "sim", "", "", ""},
        {{"--com", "2=/dev/ttyUSB0", "--com", "3=sim", "--sim-software", "1004", "drive.par"},
         "",
         "/dev/ttyUSB0",
         "sim",
         "drive.par"},
        {{"--com", "5=/dev/ttyUSB0"}, "!", "", "", ""},
        {{"--com", "ttyUSB0"}, "!", "", "", ""},
        {{"--sim-software", "70000"}, "!", "", "", ""},
        {{"--no-such-option"}, "!", "", "", ""},
        {{"a.par", "b.par"}, "!", "", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        ui::GuiCommandLine line;
        QStringList args = row.args;
        args.prepend(QStringLiteral("quendrix"));
        const auto error = line.parse(args);
        ASSERT_EQ(error.has_value(), row.com1 == "!");
        if (!error) {
            const auto& o = line.options();
            EXPECT_EQ(o.ports.device(1) + "|" + o.ports.device(2) + "|" + o.ports.device(3),
                      row.com1 + "|" + row.com2 + "|" + row.com3);
            EXPECT_EQ(o.usesSimulatedDrive(), row.com1 == "sim" || row.com3 == "sim");
            EXPECT_EQ(o.documentPath, row.document);
        }
    }
}

}  // namespace
}  // namespace qx::test
