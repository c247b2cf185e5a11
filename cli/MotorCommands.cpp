#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "cli/CliContext.h"
#include "cli/OptionValue.h"
#include "cli/SignalStop.h"
#include "motor/AutoMatch.h"
#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "sim/SimMotor.h"

namespace qx::cli {

namespace {

// Floats as the dialog shows them: general format, six significant digits.
std::string Shown(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

void PrintBlock(const MotorFields& f, const CurrentLoopModel& m) {
    const auto line = [](const char* label, const std::string& value) {
        std::printf("%-22s %s\n", label, value.c_str());
    };
    line("Rated Current (A)",
         Shown(f.ratedCurrent) + "  [" + std::to_string(f.ratedCurrentRaw) + "]");
    line("Pole Pairs", std::to_string(f.polePairs));
    line("Ls  (mH)", Shown(f.ls) + "  [" + std::to_string(m.lsRaw) + "]");
    line("Rs  (ohm)", Shown(f.rs) + "  [" + std::to_string(m.rsRaw) + "]");
    line("Ke  (V/Krpm)", Shown(f.ke) + "  [" + std::to_string(m.keRaw) + "]");
    line("Current loop Ki word", std::to_string(m.word0215));
    line("Magnet Direction", std::to_string(f.magnetDirection));
    line("Encoder", f.encoderType == kEncoderLessWire ? "Less Wire" : "Standard");
    line("Pulse Direction", std::to_string(f.pulseDirection));
    line("UVW Direction", std::to_string(f.uvwDirection));
    line("Z  Pulse Type", std::to_string(f.zPulseType));
    line("Pulse Number", std::to_string(f.pulseNumber));
    line("Encoder Offset", std::to_string(f.encoderOffset));
    std::fflush(stdout);
}

const char* const kWriteFieldsHelp =
    "FIELD=VALUE pairs; FIELD is rated-current (A), ls (mH), rs (ohm), ke (V/krpm), "
    "pole-pairs (1..10), magnet-direction (0..1), encoder-type (0 standard, 1 less-wire), "
    "pulse-direction (0..1), uvw-direction (0..1), z-pulse-type (0..2), pulse-number "
    "(1000..40000) or encoder-offset (0..65535)";

// The largest value a motor constant can take: its word is unsigned 16 bits.
ValueRange WordRange(int32_t scale, const char* unit) {
    return {0, 65535.0 / scale, false, unit};
}

// Applies one FIELD=VALUE as the dialog's commit would; an explanation on error.
std::optional<std::string> Apply(const std::string& pair, MotorFields& f, CurrentLoopModel& m) {
    const auto eq = pair.find('=');
    if (eq == std::string::npos) {
        return "expected FIELD=VALUE in '" + pair + "'";
    }
    const std::string field = pair.substr(0, eq);
    const std::string value = pair.substr(eq + 1);
    struct FloatField {
        float MotorFields::*member;
        ValueRange range;
    };
    static const std::map<std::string, FloatField> kFloats = {
        {"rated-current", {&MotorFields::ratedCurrent, WordRange(kRatedCurrentScale, "A")}},
        {"ls", {&MotorFields::ls, WordRange(kInductanceScale, "mH")}},
        {"rs", {&MotorFields::rs, WordRange(kResistanceScale, "ohm")}},
        {"ke", {&MotorFields::ke, WordRange(kBackEmfScale, "V/krpm")}},
    };
    if (const auto it = kFloats.find(field); it != kFloats.end()) {
        if (auto refusal = RangeRefusal(field, value, it->second.range)) {
            return refusal;
        }
        f.*(it->second.member) = static_cast<float>(*ParseNumber(value));
        SnapRatedCurrent(f);
        SnapLs(f, m);
        SnapRs(f, m);
        SnapKe(f, m);
        return std::nullopt;
    }
    struct IntField {
        int32_t MotorFields::*member;
        IntRange range;
    };
    static const std::map<std::string, IntField> kInts = {
        {"pole-pairs", {&MotorFields::polePairs, kPolePairsRange}},
        {"magnet-direction", {&MotorFields::magnetDirection, kMagnetDirectionRange}},
        {"encoder-type", {&MotorFields::encoderType, IntRange{0, 1}}},
        {"pulse-direction", {&MotorFields::pulseDirection, kPulseDirectionRange}},
        {"uvw-direction", {&MotorFields::uvwDirection, kUvwDirectionRange}},
        {"z-pulse-type", {&MotorFields::zPulseType, kZPulseTypeRange}},
        {"pulse-number", {&MotorFields::pulseNumber, kPulseNumberRange}},
        {"encoder-offset", {&MotorFields::encoderOffset, kEncoderOffsetRange}},
    };
    const auto it = kInts.find(field);
    if (it == kInts.end()) {
        return "unknown field '" + field + "' in '" + pair + "'";
    }
    const IntRange r = it->second.range;
    if (auto refusal = RangeRefusal(field, value, {double(r.min), double(r.max), true, ""})) {
        return refusal;
    }
    f.*(it->second.member) = static_cast<int32_t>(*ParseNumber(value));
    return std::nullopt;
}

// Reports on stdout; asks the direction on the terminal unless it was given.
class TerminalObserver final : public AutoMatchObserver {
  public:
    explicit TerminalObserver(std::string direction) : direction_(std::move(direction)) {}

    void report(int percent, const MotorFields& fields) override {
        std::printf("%3d%%  %s\n", percent, fields.message.c_str());
        std::fflush(stdout);
    }
    std::optional<int32_t> askMagnetDirection() override {
        std::string answer = direction_;
        if (answer.empty()) {
            std::cout << "The motor runs in which direction? [ccw/cw] " << std::flush;
            if (!std::getline(std::cin, answer)) {
                std::cout << std::endl;  // no answer is coming: end the prompt's line
            }
        }
        if (answer == "ccw") {
            return 0;
        }
        if (answer == "cw") {
            return 1;
        }
        return std::nullopt;
    }

  private:
    std::string direction_;
};

// Replaces the simulated motor when the drive is the built-in one.
bool ApplySimMotor(CliContext& context, const std::string& spec) {
    if (spec.empty()) {
        return true;
    }
    sim::SimDrive* drive = context.simulatedDrive();
    const auto motor = drive ? sim::MotorOf(*drive) : nullptr;
    if (!motor) {
        std::cerr << "quendrix-cli: --sim-motor needs the simulated drive" << std::endl;
        return false;
    }
    sim::SimMotorSpec s;
    if (auto err = sim::ParseMotorSpec(spec, s)) {
        std::cerr << "quendrix-cli: --sim-motor: " << *err << std::endl;
        return false;
    }
    motor->setSpec(s);
    return true;
}

// The callback of a command that talks to the drive: connects as picking the port does
// (a drive failure when that fails), then runs `body` on a fresh session; `body` gives the
// exit code.
std::function<void()> OnDrive(CliContext& context, int& exitCode,
                              std::function<int(Session&)> body) {
    return [&context, &exitCode, body = std::move(body)]() {
        if (!context.connect()) {
            exitCode = kExitDriveFailure;
            return;
        }
        Session session(context.link());
        exitCode = body(session);
    };
}

// Same, for a command that may set the motor going: a stop signal meanwhile ends the
// command, switches the servo off while the port works, then ends the tool.
std::function<void()> OnDriveWithMotor(CliContext& context, int& exitCode,
                                       std::function<int(Session&, const SignalStop&)> body) {
    return [&context, &exitCode, body = std::move(body)]() {
        const SignalStop signals;
        OnDrive(context, exitCode, [&](Session& session) {
            const int code = body(session, signals);
            if (signals.raised() && context.state().link.portOpen == 1) {
                ServoOff(session);
            }
            return code;
        })();
        signals.endIfRaised();
    };
}

int ExitFor(uint32_t status) {
    return status == kStatusOk ? kExitOk : kExitDriveFailure;
}

}  // namespace

void RegisterMotorCommands(CLI::App& app, CliContext& context, int& exitCode) {
    CLI::App* motor = app.add_subcommand("motor",
                                         "Motor and encoder data, encoder fixing, "
                                         "automatic motor matching");
    motor->require_subcommand(1);

    CLI::App* read = motor->add_subcommand("read", "Print the motor data block (0x0210..0x0219)");
    read->callback(OnDrive(context, exitCode, [&context](Session& session) {
        MotorFields f;
        CurrentLoopModel& m = context.state().currentLoopModel;
        if (ReadMotorBlock(session, f, m, context.messages()) != kStatusOk) {
            return kExitDriveFailure;
        }
        PrintBlock(f, m);
        return kExitOk;
    }));

    static std::vector<std::string> pairs;
    CLI::App* write = motor->add_subcommand(
        "write", "Change fields of the motor data block: read it, change, write it back");
    write->add_option("FIELD=VALUE", pairs, kWriteFieldsHelp)->required();
    const auto writeBlock = OnDrive(context, exitCode, [&context](Session& session) {
        MotorFields f;
        CurrentLoopModel& m = context.state().currentLoopModel;
        if (ReadMotorBlock(session, f, m, context.messages()) != kStatusOk) {
            return kExitDriveFailure;
        }
        for (const std::string& p : pairs) {
            Apply(p, f, m);  // checked before the port was picked
        }
        if (WriteMotorBlock(session, f, m, context.messages()) != kStatusOk) {
            return kExitDriveFailure;
        }
        PrintBlock(f, m);
        return kExitOk;
    });
    write->callback([&exitCode, writeBlock]() {
        MotorFields scratch;
        CurrentLoopModel model;
        for (const std::string& p : pairs) {
            if (auto err = Apply(p, scratch, model)) {
                std::cerr << "quendrix-cli: " << *err << std::endl;
                exitCode = kExitUsage;
                return;
            }
        }
        writeBlock();
    });

    CLI::App* position = motor->add_subcommand("position",
                                               "Read the rotor position once (65535: no index "
                                               "pulse seen since the flag was armed, or no reply)");
    position->callback(OnDrive(context, exitCode, [](Session& session) {
        std::cout << ReadRotorPosition(session) << std::endl;
        return kExitOk;
    }));

    static int32_t freezeCurrent = kDefaultFreezeCurrentA;
    CLI::App* freeze = motor->add_subcommand("freeze", "Hold the rotor with a current");
    freeze->add_option("--current", freezeCurrent, "Freeze current in A (1..10, default 3)")
        ->check(InRange({kFreezeCurrentRange.min, kFreezeCurrentRange.max, true, "A"}));
    freeze->callback(OnDriveWithMotor(context, exitCode, [](Session& session, const SignalStop&) {
        return ExitFor(FreezeRotor(session, freezeCurrent));
    }));

    CLI::App* release = motor->add_subcommand("release", "Servo off: release the rotor");
    release->callback(
        OnDrive(context, exitCode, [](Session& session) { return ExitFor(ServoOff(session)); }));

    static std::string direction;
    static std::string simMotor;
    static std::optional<float> ratedCurrent;
    CLI::App* match = motor->add_subcommand(
        "match",
        "Automatic motor matching: the motor must be free to turn. Reads the block "
        "first and tests with a fifth of its rated current");
    match
        ->add_option("--direction", direction,
                     "The way the shaft turns when asked: ccw or cw (asked on the terminal "
                     "when left out)")
        ->check(CLI::IsMember({"ccw", "cw"}));
    match
        ->add_option("--rated-current", ratedCurrent,
                     "Rated current in A to use instead of the block's, as if typed into "
                     "the dialog before the match")
        ->check(InRange(WordRange(kRatedCurrentScale, "A")));
    match->add_option("--sim-motor", simMotor,
                      "Simulated drive: the motor, as key=value,... with pole-pairs, "
                      "pulse-number, encoder-type, magnet-direction, pulse-direction, "
                      "uvw-direction, z-type, offset, hall=W/W/W/W, rpm, test-ms");
    match->callback(OnDriveWithMotor(
        context, exitCode, [&context](Session& session, const SignalStop& signals) {
            if (!ApplySimMotor(context, simMotor)) {
                return kExitUsage;
            }
            AutoMatchInput input;
            if (ReadMotorBlock(session, input.fields, input.loopModel, context.messages()) !=
                kStatusOk) {
                return kExitDriveFailure;
            }
            if (ratedCurrent) {
                input.fields.ratedCurrent = *ratedCurrent;
                SnapRatedCurrent(input.fields);
            }
            TerminalObserver observer(direction);
            const AutoMatchResult r =
                AutoMatch(context.link(), input, observer, context.messages(), signals.flag());
            std::printf("%3d%%  %s\n", r.percent, r.fields.message.c_str());
            if (r.succeeded()) {
                context.state().currentLoopModel = input.loopModel;
                PrintBlock(r.fields, input.loopModel);
            }
            return r.succeeded() ? kExitOk : kExitDriveFailure;
        }));
}

}  // namespace qx::cli
