// Every operation run once against the simulated drive, in virtual time, its whole
// exchange compared with tests/transcripts/<case>.txt. A line ('#' starts a comment):
//   sync | pause 2            the 255-byte sync burst | 2 s with nothing sent or shown
//   C1 01 00 91 02 12 00 04   a request: command, selector ('+': the one before plus one),
//                             payload; 'AAAA..BBBB' the words AAAA to BBBB, '..' any payload
//   <request> * | x178        one or more (each perhaps retried with its selector) | 178
//   box T: text | report 25 text | ask | line text   a box, the match's report, question, end
//   : name | < other.txt name a label | other.txt's lines up to its label
//   !run OP [ARG] | !fault SPEC | !motor SPEC   as --sim-fault and --sim-motor take them

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>

#include "capture/FreeRunMonitor.h"
#include "capture/LoopTuner.h"
#include "link/ConnectDrive.h"
#include "link/ForwardingPort.h"
#include "monitor/StatusPoll.h"
#include "motor/AutoMatch.h"
#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"
#include "params/ParamEditor.h"
#include "params/ParamFileCommands.h"
#include "params/ParamSettingCommand.h"
#include "sim/SimMotor.h"
#include "sim/SimOptions.h"
#include "sim/SimPort.h"

namespace qx::test {
namespace {

constexpr uint64_t kUsPerS = 1'000'000;
// Far more than any operation sends: a tool gone round in circles is cut off here.
constexpr std::size_t kMostEntries = 200'000;

std::string Hex(const uint8_t* bytes, std::size_t n) {
    std::string s;
    for (std::size_t k = 0; k < n; ++k) {
        s += {' ', "0123456789ABCDEF"[bytes[k] >> 4], "0123456789ABCDEF"[bytes[k] & 15]};
    }
    return s;
}

// What reached the drive and the user, in order, with the virtual time of each. It stands
// in for the windows: takes the boxes, the match's reports and question, a record's end.
struct Transcript final : MessageSink, AutoMatchObserver, ParamLoadProgress, SampleDoneListener {
    struct Entry {
        uint64_t us = 0;
        std::string text;  // "sync", "box ...", ... or "C1 01 00 91" for a request
        bool request = false;
    };
    explicit Transcript(Clock& clock) : clock_(clock) {}
    // False once the transcript is full.
    bool add(std::string text, bool request = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t now = clock_.nowUs();
        if (!entries.empty() && now - entries.back().us >= kUsPerS) {
            entries.push_back(
                {now, "pause " + std::to_string((now - entries.back().us) / kUsPerS)});
        }
        if (entries.size() >= kMostEntries) {
            return false;
        }
        entries.push_back({now, std::move(text), request});
        return true;
    }
    void show(const std::string& text, const std::string& title) override {
        add("box " + title + ": " + text);
    }
    void report(int percent, const MotorFields& f) override {
        add("report " + std::to_string(percent) + " " + f.message);
    }
    std::optional<int32_t> askMagnetDirection() override {
        add("ask");
        return answer;
    }
    std::optional<int32_t> answer;
    void post(ParamLoadStage, int) override {}
    void sampleDone() override {
        std::call_once(once_, [this] { record_.set_value(); });
    }
    bool waitRecord() {
        return record_.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }
    Clock& clock_;
    std::mutex mutex_;
    std::vector<Entry> entries;  // read and cleared only while no worker runs
    std::once_flag once_;
    std::promise<void> record_;
};

// The port as the drive sees it: every sync burst and request frame the tool writes.
struct TranscriptPort final : ForwardingPort {
    TranscriptPort(std::unique_ptr<SerialPort> port, Transcript& log)
        : ForwardingPort(std::move(port)), log_(log) {}
    std::size_t write(const uint8_t* data, std::size_t bytes) override {
        const bool sync = bytes == kSyncBurstBytes &&
                          std::count(data, data + bytes, kSyncByte) == kSyncBurstBytes;
        // Command, selector and payload, without the length and checksum.
        const bool kept =
            sync ? log_.add("sync")
                 : log_.add((Hex(data + 1, 2) + Hex(data + 4, bytes - 6)).substr(1), true);
        return kept ? ForwardingPort::write(data, bytes) : 0;  // full: the line goes dead
    }
    Transcript& log_;
};

// The drive's words differ from every default of the windows and dialogs, so that an
// operation that ignored what it read would send other words.
const std::map<uint32_t, std::vector<uint16_t>> kDriveWords = {
    {0x0201, {0xA201, 0xA202, 0xA203, 0xA204, 0xA205}},  // head words a download keeps
    // Motor block: 5 A, 5 pole pairs, Ls, Rs, Ke, Ki, clockwise, flags 0x1D under a high
    // byte the tool ignores, 2500 pulses, offset 0x1234.
    {0x0210, {0x0280, 5, 0x0FA0, 0x0514, 0x04E2, 0x0708, 1, 0x011D, 0x09C4, 0x1234}},
    {0x025D, {0x0078, 0x003C, 0x01C2, 0x0190}},  // speed loop Kp, T_rc, filters
    {0x026B, {0x015E, 0x0005, 0x005A}},          // position loop Kp, Kd, cut-off
};

// Turns clockwise and counts down, shows its index with Z type 1; halls 4 4 4 4.
const std::string kMotor =
    "pole-pairs=5,pulse-number=2500,magnet-direction=1,z-type=1,offset=0x2345,uvw-direction=1,";

struct Rig {
    VirtualClock clock{1'000'000};
    SharedState state;
    Transcript log{clock};
    std::shared_ptr<sim::SimDrive> drive;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<TranscriptPort>(
                           std::make_unique<sim::SimPort>(drive, clock, true), log);
                   }};
    Session session{link};  // for the operations that run one exchange sequence
    std::string lastPar;

    explicit Rig(const std::string& motor) : drive(sim::MakeSimDrive({}, clock.nowUs())) {
        ApplyStartupValues(state);
        for (const auto& [address, words] : kDriveWords) {
            for (std::size_t k = 0; k < words.size(); ++k) {
                drive->write(static_cast<uint32_t>(address + k), words[k]);
            }
        }
        sim::SimMotorSpec spec;
        EXPECT_EQ(sim::ParseMotorSpec(kMotor + motor, spec), std::nullopt);
        sim::MotorOf(*drive)->setSpec(spec);
    }
};

const PathChooser TempPar = [] { return std::optional(::testing::TempDir() + "transcript.par"); };

// Per loop in CaptureKind's order: its name, lasting time, range, sample position, divider,
// rate (unused), count.
const std::string kLoops[] = {"current", "speed", "position"};
const LoopCaptureSettings kTuneSettings[] = {
    {300, 2.5f, 0.96f, 2, 0, 70},
    {100, 1000.0f, 0.25f, 3, 0, 65},
    {50, 2000.0f, 0.5f, 5, 0, 40},
};

using Operation = void (*)(Rig&, const std::string& arg);
const std::map<std::string, Operation> kOperations = {
    {"identify",
     [](Rig& r, const std::string& version) {  // the drive's own 913 unless given
         r.drive->setVersions({static_cast<uint16_t>(version.empty() ? 913 : std::stoi(version))});
         ChooseComPort(r.link, r.state.identity, r.log, 1);
     }},
    {"load", [](Rig& r, const std::string&) { LoadParamTableInline(r.link, r.state, r.log); }},
    {"upload",
     [](Rig& r, const std::string&) {
         ParametersUploadCommand(r.link, r.state.parameterImage, r.log, TempPar, r.lastPar);
     }},
    {"download",
     [](Rig& r, const std::string&) {
         std::string words;
         for (int word = 0x0200; word <= 0x03FF; ++word) {  // each word holds its address
             words += {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
         }
         std::ofstream(*TempPar(), std::ios::binary) << words;
         ParametersDownloadCommand(r.link, r.state.parameterImage, r.log, TempPar, r.lastPar);
     }},
    {"save", [](Rig& r, const std::string&) { SaveToEepromCommand(r.link, r.log); }},
    {"defaults", [](Rig& r, const std::string&) { LoadDefaultCommand(r.link, r.log); }},
    {"set",
     [](Rig& r, const std::string&) {
         UserParamTable& table = r.state.userParamTable;
         table.highestParamNumber = 183;
         table.minimum[36] = -5000;
         table.maximum[36] = 5000;
         ParamEditor editor(table, 913, r.log);
         editor.open();
         editor.numberTextChanged("36");
         editor.valueTextChanged("-7000");
         editor.set(r.link);
     }},
    {"tune",
     [](Rig& r, const std::string& loop) {
         const auto k = std::find(std::begin(kLoops), std::end(kLoops), loop) - kLoops;
         SettingsForLoop(r.state, CaptureKind(k)) = kTuneSettings[k];
         LoopTuner tuner(r.state, r.link, CaptureKind(k), r.log, r.log, r.log);
         ASSERT_TRUE(tuner.open());
         tuner.timerTick();
         ASSERT_TRUE(r.log.waitRecord());
         tuner.close();
     }},
    {"free",
     [](Rig& r, const std::string& mode) {
         const bool trigger = mode == "trigger";
         if (trigger) {
             // Armed for one poll, then fired at ring word 1030.
             auto polls = std::make_shared<int>(0);
             r.drive->setSubCommandHandler(0x0013, [polls](sim::SimDrive&, auto, uint64_t) {
                 *polls = 2;
                 return sim::Answer::Ok();
             });
             r.drive->setPollHandler(
                 [polls, before = r.drive->pollHandler()](sim::SimDrive& d, uint64_t now) {
                     if (*polls == 0 || --*polls > 0) {
                         return *polls == 0 ? before(d, now) : sim::Answer::NotAcknowledged();
                     }
                     d.write(30, 1030);
                     return sim::Answer::Ok();
                 });
         }
         r.state.freeRunSettings.monitorType = trigger ? 0 : 1;
         FreeRunMonitor monitor(r.state, r.link, r.log, r.log);
         ASSERT_TRUE(monitor.open());
         monitor.chooseAutoRun(!trigger);
         monitor.chooseEdge(kTriggerFalling);
         monitor.editSampleCount(trigger ? 100 : 80);
         monitor.editSampleRate(trigger ? 1000 : 2000);
         monitor.editTriggerValue(trigger ? -1.5 : 500);
         monitor.editWaveOffset(0.25);
         PlotData plot;
         ASSERT_TRUE(trigger ? monitor.refresh() : monitor.timerTick(plot));
         ASSERT_TRUE(r.log.waitRecord());
         monitor.close();
     }},
    {"motor",
     [](Rig& r, const std::string&) {
         MotorFields fields;
         ReadMotorBlock(r.session, fields, r.state.currentLoopModel, r.log);
         WriteMotorBlock(r.session, fields, r.state.currentLoopModel, r.log);
     }},
    {"encoder",
     [](Rig& r, const std::string&) {
         ReadRotorPosition(r.session);
         FreezeRotor(r.session, 7);
         ServoOff(r.session);
     }},
    {"poll", [](Rig& r, const std::string&) { RunStatusPoll(r.link, r.state.driveStatus); }},
    {"match",
     [](Rig& r, const std::string& answer) {
         AutoMatchInput input;
         ReadMotorBlock(r.session, input.fields, input.loopModel, r.log);
         r.log.answer = answer == "cw" ? std::optional<int32_t>(1) : std::nullopt;
         const std::atomic<bool> stop{false};
         r.log.add("line " + AutoMatch(r.link, input, r.log, r.log, stop).fields.message);
     }},
};

// One expected line: a text, or a request with its selector rule, and how often it
// occurs in a row.
struct Pattern {
    std::string text;     // a request's command ("C1") or the whole line
    std::string payload;  // hex bytes as the transcript shows them; ".." for any
    bool request = false;
    int selector = 0;      // -1 ('+'): the selector before plus one
    int min = 1, max = 1;  // max -1: no limit
    int line = 0;
};

struct Expected {
    std::string run, fault, motor;  // the directives
    std::vector<Pattern> patterns;
};

void Parse(const std::string& name, const std::string& until, Expected& e) {
    std::ifstream in(std::string(QX_TRANSCRIPT_DIR) + "/" + name);
    EXPECT_TRUE(in) << name;
    std::string raw;
    for (int line = 1; std::getline(in, raw); ++line) {
        std::string text = raw.substr(0, raw.find('#'));
        text.erase(text.find_last_not_of(" \t") + 1);
        std::istringstream tokens(text);
        std::string head, rest, t;
        tokens >> head;
        std::getline(tokens >> std::ws, rest);
        if (head == ":" && rest == until) {
            return;
        } else if (head == "<") {
            Parse(rest.substr(0, rest.find(' ')), rest.substr(rest.find(' ') + 1), e);
        } else if (!head.empty() && head[0] == '!' && until.empty()) {
            (head == "!run" ? e.run : head == "!fault" ? e.fault : e.motor) = rest;
        } else if (head.size() == 2 && std::isxdigit(head[0]) && std::isxdigit(head[1])) {
            Pattern p{head, "", true, 0, 1, 1, line};
            std::istringstream fields(rest);
            fields >> t;
            p.selector = t == "+" ? -1 : std::stoi(t, nullptr, 16);
            while (fields >> t) {
                if (t == "*" || t[0] == 'x') {
                    p.min = t == "*" ? 1 : std::stoi(t.substr(1));
                    p.max = t == "*" ? -1 : p.min;
                } else if (t.size() == 10 && t.substr(4, 2) == "..") {  // a run of words
                    for (int w = std::stoi(t.substr(0, 4), nullptr, 16);
                         w <= std::stoi(t.substr(6), nullptr, 16); ++w) {
                        const uint8_t word[] = {uint8_t(w >> 8), uint8_t(w)};
                        p.payload += Hex(word, 2);
                    }
                } else {
                    p.payload += " " + t;
                }
            }
            e.patterns.push_back(p);
        } else if (!head.empty() && head != ":" && head[0] != '!') {
            e.patterns.push_back({text, "", false, 0, 1, 1, line});
        }
    }
    EXPECT_TRUE(until.empty()) << "no label " << until << " in " << name;
}

std::vector<std::string> TranscriptNames() {
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(QX_TRANSCRIPT_DIR)) {
        if (f.path().extension() == ".txt") {
            names.push_back(f.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Transcripts : public ::testing::TestWithParam<std::string> {};

TEST_P(Transcripts, WholeExchangeAsTheDriveExpectsIt) {
    Expected e;
    Parse(GetParam() + ".txt", "", e);
    std::istringstream run(e.run);
    std::string op, arg;
    run >> op >> arg;
    Rig rig(e.motor);
    if (op != "identify") {
        ASSERT_EQ(ChooseComPort(rig.link, rig.state.identity, rig.log, 1), 1);
        rig.log.entries.clear();
    }
    if (!e.fault.empty()) {
        sim::FaultRule rule;
        ASSERT_EQ(sim::ParseFaultRule(e.fault, rule), std::nullopt);
        rig.drive->addFault(rule);
    }
    kOperations.at(op)(rig, arg);

    const auto& actual = rig.log.entries;
    std::string all = "the transcript:\n";
    for (std::size_t k = 0; k < actual.size(); ++k) {
        all += std::to_string(k) + ": " + actual[k].text + "\n";
    }
    // Each expected line takes the entries it matches in a row; a request may repeat the
    // selector of the one before when it is its retry.
    std::size_t a = 0;
    int previous = -1;
    for (const Pattern& p : e.patterns) {
        int n = 0;
        for (; a < actual.size() && (p.max < 0 || n < p.max); ++a, ++n) {
            const Transcript::Entry& t = actual[a];
            const int s = t.request ? std::stoi(t.text.substr(3, 2), nullptr, 16) : -1;
            const int want = p.selector < 0 ? (previous + 1) & 0xFF : p.selector;
            if (!p.request ? t.request || p.text != t.text
                           : !t.request || t.text.substr(0, 2) != p.text ||
                                 (s != want && (n == 0 || s != previous)) ||
                                 (p.payload != " .." && t.text.substr(5) != p.payload)) {
                break;
            }
            previous = t.request ? s : previous;
        }
        ASSERT_GE(n, p.min) << "expected line " << p.line << " (" << p.text << " ...) at entry "
                            << a << "; " << all;
    }
    EXPECT_EQ(a, actual.size()) << "more than expected; " << all;
}

INSTANTIATE_TEST_SUITE_P(Operations, Transcripts, ::testing::ValuesIn(TranscriptNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace qx::test
