#include "app/ui/GuiCommandLine.h"

#include <limits>

#include "sim/SimDrive.h"

namespace qx::ui {

namespace {

const QString kCom = QStringLiteral("com");
const QString kDemo = QStringLiteral("demo");
const QString kSoftware = QStringLiteral("sim-software");
const QString kBootRom = QStringLiteral("sim-bootrom");
const QString kFpga = QStringLiteral("sim-fpga");
const QString kPace = QStringLiteral("sim-pace");
const QString kFault = QStringLiteral("sim-fault");
const QString kRandomFaults = QStringLiteral("sim-random-faults");
const QString kSilentSpells = QStringLiteral("sim-silent-spells");
const QString kSeed = QStringLiteral("sim-seed");
const QString kAway = QStringLiteral("sim-away");
const QString kLoad = QStringLiteral("sim-load");

std::optional<QString> ParseWord(const QCommandLineParser& parser, const QString& name,
                                 uint16_t& out) {
    if (!parser.isSet(name)) {
        return std::nullopt;
    }
    bool ok = false;
    const uint value = parser.value(name).toUInt(&ok, 0);
    if (!ok || value > std::numeric_limits<uint16_t>::max()) {
        return QStringLiteral("--%1 %2: expected a number from 0 to 65535")
            .arg(name, parser.value(name));
    }
    out = static_cast<uint16_t>(value);
    return std::nullopt;
}

}  // namespace

bool GuiOptions::usesSimulatedDrive() const {
    for (int n = 1; n <= PortMap::kPortCount; ++n) {
        if (ports.device(n) == PortMap::kSimulatedDevice) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<sim::SimDrive> GuiOptions::makeSimulatedDrive(Clock& clock) const {
    // Always at hand: "Port Settings..." can set a port to it at any time.
    return sim::MakeSimDrive(sim, clock.nowUs());
}

GuiCommandLine::GuiCommandLine() {
    parser_.setApplicationDescription(
        QStringLiteral("Quendrix: commission and tune an AC servo drive over a serial line."));
    parser_.addOptions({
        {kCom,
         QStringLiteral("Map COM N (1 to 4) to a serial device, or to 'sim' for the built-in "
                        "simulated drive, for this run. Without it COM N opens the device set in "
                        "COM > Port Settings..., or follows the adapters. Repeatable."),
         QStringLiteral("N=DEVICE")},
        {kDemo, QStringLiteral("Short for --com 1=sim.")},
        {kSoftware, QStringLiteral("Simulated drive: software version (913)."),
         QStringLiteral("VERSION")},
        {kBootRom, QStringLiteral("Simulated drive: boot ROM version (101)."),
         QStringLiteral("VERSION")},
        {kFpga, QStringLiteral("Simulated drive: FPGA version (258)."), QStringLiteral("VERSION")},
        {kPace, QStringLiteral("Simulated drive: pace every byte at 115200 baud 8O2.")},
        {kFault, QStringLiteral("Simulated drive: ") + QString::fromUtf8(sim::kFaultHelp),
         QStringLiteral("RULE")},
        {kRandomFaults,
         QStringLiteral("Simulated drive: probability (0 to 1) of a random fault per request."),
         QStringLiteral("P")},
        {kSilentSpells,
         QStringLiteral("Simulated drive: probability (0 to 1) per request of a silent spell of "
                        "1 to 2 s."),
         QStringLiteral("P")},
        {kSeed, QStringLiteral("Simulated drive: seed of the random faults and silent spells."),
         QStringLiteral("N")},
        {kAway, QStringLiteral("Simulated drive: go silent for a while, then come back."),
         QStringLiteral("AFTER_MS:FOR_MS")},
        {kLoad,
         QStringLiteral("Simulated drive: the motor behind its step tests (%1; default standard).")
             .arg(QString::fromStdString(sim::SimLoadNames())),
         QStringLiteral("MOTOR")},
    });
    parser_.addPositionalArgument(QStringLiteral("file"),
                                  QStringLiteral("A document to open (it holds nothing)."),
                                  QStringLiteral("[file]"));
    parser_.addHelpOption();
    parser_.addVersionOption();
}

std::optional<QString> GuiCommandLine::parse(const QStringList& arguments) {
    if (!parser_.parse(arguments)) {
        return parser_.errorText();
    }
    helpRequested_ =
        parser_.isSet(QStringLiteral("help")) || parser_.isSet(QStringLiteral("help-all"));
    versionRequested_ = parser_.isSet(QStringLiteral("version"));

    options_ = GuiOptions{};
    if (parser_.isSet(kDemo)) {
        options_.ports.setDevice(1, PortMap::kSimulatedDevice);
    }
    for (const QString& assignment : parser_.values(kCom)) {
        if (auto err = options_.ports.assign(assignment.toStdString())) {
            return QStringLiteral("--com %1: %2").arg(assignment, QString::fromStdString(*err));
        }
    }

    sim::SimOptions& sim = options_.sim;
    for (const auto& [name, field] : {std::pair{kSoftware, &sim.config.softwareVersion},
                                      std::pair{kBootRom, &sim.config.bootRomVersion},
                                      std::pair{kFpga, &sim.config.fpgaVersion}}) {
        if (auto err = ParseWord(parser_, name, *field)) {
            return err;
        }
    }
    sim.pace = parser_.isSet(kPace);
    for (const QString& text : parser_.values(kFault)) {
        sim::FaultRule rule;
        if (auto err = sim::ParseFaultRule(text.toStdString(), rule)) {
            return QStringLiteral("--sim-fault %1: %2").arg(text, QString::fromStdString(*err));
        }
        sim.faults.push_back(rule);
    }
    if (parser_.isSet(kRandomFaults)) {
        bool ok = false;
        sim.randomFaultProbability = parser_.value(kRandomFaults).toDouble(&ok);
        if (!ok || sim.randomFaultProbability < 0.0 || sim.randomFaultProbability > 1.0) {
            return QStringLiteral("--sim-random-faults %1: expected a probability from 0 to 1")
                .arg(parser_.value(kRandomFaults));
        }
    }
    if (parser_.isSet(kSilentSpells)) {
        bool ok = false;
        sim.silentSpellProbability = parser_.value(kSilentSpells).toDouble(&ok);
        if (!ok || sim.silentSpellProbability < 0.0 || sim.silentSpellProbability > 1.0) {
            return QStringLiteral("--sim-silent-spells %1: expected a probability from 0 to 1")
                .arg(parser_.value(kSilentSpells));
        }
    }
    if (parser_.isSet(kSeed)) {
        bool ok = false;
        sim.randomFaultSeed = parser_.value(kSeed).toUInt(&ok, 0);
        if (!ok) {
            return QStringLiteral("--sim-seed %1: expected a whole number")
                .arg(parser_.value(kSeed));
        }
    }
    if (parser_.isSet(kAway)) {
        if (auto err = sim::ParseAwaySpec(parser_.value(kAway).toStdString(), sim)) {
            return QStringLiteral("--sim-away %1: %2")
                .arg(parser_.value(kAway), QString::fromStdString(*err));
        }
    }
    if (parser_.isSet(kLoad)) {
        if (auto err = sim::ParseLoad(parser_.value(kLoad).toStdString(), sim)) {
            return QStringLiteral("--sim-load %1: %2")
                .arg(parser_.value(kLoad), QString::fromStdString(*err));
        }
    }

    const QStringList files = parser_.positionalArguments();
    if (files.size() > 1) {
        return QStringLiteral("only one document can be opened");
    }
    if (!files.isEmpty()) {
        options_.documentPath = files.front();
    }
    return std::nullopt;
}

}  // namespace qx::ui
