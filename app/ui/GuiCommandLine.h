#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "link/Clock.h"
#include "link/PortMap.h"
#include "sim/SimOptions.h"

namespace qx::ui {

// What the window program's command line chooses.
struct GuiOptions {
    PortMap ports;
    sim::SimOptions sim;
    // A document named on the command line: opened (and read as nothing) at start-up.
    QString documentPath;

    // True when some COM port maps to the built-in simulated drive.
    bool usesSimulatedDrive() const;
    // The simulated drive the options describe.
    std::shared_ptr<sim::SimDrive> makeSimulatedDrive(Clock& clock) const;
};

// The window program's options: --com N=DEVICE (repeatable), --demo (= --com 1=sim), the
// simulated drive's --sim-* options of the command-line tool, and an optional document.
// Qt's own options (-platform, -style ...) are taken by QApplication before this sees
// the arguments.
class GuiCommandLine {
  public:
    GuiCommandLine();

    // `arguments` starts with the program name. Returns an explanation on error.
    std::optional<QString> parse(const QStringList& arguments);

    bool helpRequested() const { return helpRequested_; }
    bool versionRequested() const { return versionRequested_; }
    QString helpText() const { return parser_.helpText(); }
    const GuiOptions& options() const { return options_; }

  private:
    QCommandLineParser parser_;
    GuiOptions options_;
    bool helpRequested_ = false;
    bool versionRequested_ = false;
};

}  // namespace qx::ui
