// The window program's command line: port mapping and the simulated drive's set-up.

#include <gtest/gtest.h>

#include "app/ui/GuiCommandLine.h"
#include "sim/SimDrive.h"

namespace qx::test {
namespace {

using qx::ui::GuiCommandLine;

std::optional<QString> Parse(GuiCommandLine& line, QStringList args) {
    args.prepend(QStringLiteral("quendrix"));
    return line.parse(args);
}

TEST(GuiCommandLineTest, WithoutOptionsThePortsFollowTheirSettings) {
    GuiCommandLine line;
    ASSERT_EQ(Parse(line, {}), std::nullopt);
    EXPECT_EQ(line.options().ports.device(1), "");
    EXPECT_EQ(line.options().ports.device(4), "");
    EXPECT_FALSE(line.options().usesSimulatedDrive());
    EXPECT_TRUE(line.options().documentPath.isEmpty());
}

TEST(GuiCommandLineTest, DemoPutsTheSimulatedDriveOnCom1) {
    GuiCommandLine line;
    ASSERT_EQ(Parse(line, {QStringLiteral("--demo")}), std::nullopt);
    EXPECT_EQ(line.options().ports.device(1), "sim");
    EXPECT_TRUE(line.options().usesSimulatedDrive());
}

TEST(GuiCommandLineTest, PortsAndTheSimulatedDriveAreSetUpLikeTheCommandLineTool) {
    GuiCommandLine line;
    ASSERT_EQ(Parse(line, {"--com", "2=/dev/ttyUSB0", "--com", "3=sim", "--sim-software", "1004",
                           "--sim-fpga", "0x102", "--sim-fault", "silence,cmd=0xC1,count=-1",
                           "--sim-random-faults", "0.01", "--sim-silent-spells", "0.002",
                           "--sim-seed", "77", "drive.par"}),
              std::nullopt);
    const auto& o = line.options();
    EXPECT_EQ(o.ports.device(1), "");
    EXPECT_EQ(o.ports.device(2), "/dev/ttyUSB0");
    EXPECT_EQ(o.ports.device(3), "sim");
    EXPECT_EQ(o.sim.config.softwareVersion, 1004);
    EXPECT_EQ(o.sim.config.fpgaVersion, 0x102);
    ASSERT_EQ(o.sim.faults.size(), 1u);
    EXPECT_EQ(o.sim.faults[0].command, 0xC1);
    EXPECT_EQ(o.sim.randomFaultProbability, 0.01);
    EXPECT_EQ(o.sim.silentSpellProbability, 0.002);
    EXPECT_EQ(o.sim.randomFaultSeed, 77u);
    EXPECT_EQ(o.documentPath, QStringLiteral("drive.par"));
}

TEST(GuiCommandLineTest, MistakesAreExplained) {
    for (const QStringList& args :
         {QStringList{"--com", "5=/dev/ttyUSB0"}, QStringList{"--com", "ttyUSB0"},
          QStringList{"--sim-software", "70000"}, QStringList{"--sim-fault", "melt"},
          QStringList{"--sim-random-faults", "2"}, QStringList{"--sim-silent-spells", "-0.5"},
          QStringList{"--no-such-option"}, QStringList{"a.par", "b.par"}}) {
        GuiCommandLine line;
        const auto error = Parse(line, args);
        EXPECT_TRUE(error.has_value()) << args.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace qx::test
