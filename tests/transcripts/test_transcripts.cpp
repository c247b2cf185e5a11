// Every operation of the tool run once against the simulated drive, in virtual time, and
// its whole exchange compared with the transcript in tests/transcripts/<case>.txt, which
// is written from what the drive expects of each operation.
//
// A transcript line (text after '#' is a comment):
//   sync                    the 255-byte sync burst
//   C1 01 00 91 02 12 00 04 a request: command, selector, payload bytes in hex. A selector
//                           '+' is the request before's plus one. In a payload 'AAAA..BBBB'
//                           stands for the words AAAA to BBBB one apart, and '..' alone for
//                           any payload (a stretch left out)
//   <request> *             one or more such requests in a row, each perhaps sent again
//                           with the same selector (the link's retries within its time
//                           budget); '<request> x178': exactly 178 in a row
//   box Title: text         a message box
//   report 25 text, ask     a progress report of the match, its direction question
//   line text               the match's closing message line
//   pause 2                 2 s (whole seconds) with nothing sent or shown
//   : name                  a label; '< other.txt name' takes other.txt's lines up to it
//   !run OP [ARG]           the operation; '!fault SPEC' a fault of the drive (as
//                           --sim-fault takes it); '!motor SPEC' the simulated motor (as
//                           --sim-motor)

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
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

namespace fs = std::filesystem;
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

// What reached the drive and the user, in order, with the virtual time of each. It takes
// the message boxes and the match's reports and question itself.
class Transcript final : public MessageSink, public AutoMatchObserver {
  public:
    struct Entry {
        uint64_t us = 0;
        std::string text;  // "sync", "box ...", ... or "C1 01 00 91" for a request
        bool request = false;
    };
    explicit Transcript(Clock& clock) : clock_(clock) {}
    // False once the transcript is full.
    bool add(std::string text, bool request = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() == kMostEntries) {
            return false;
        }
        entries_.push_back({clock_.nowUs(), std::move(text), request});
        return true;
    }
    void clear() { entries_.clear(); }  // no worker runs between operations
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
    std::vector<Entry> entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Entry> out;
        for (const Entry& e : entries_) {
            if (!out.empty() && e.us - out.back().us >= kUsPerS) {
                out.push_back({e.us, "pause " + std::to_string((e.us - out.back().us) / kUsPerS)});
            }
            out.push_back(e);
        }
        return out;
    }

  private:
    Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The port as the drive sees it: every sync burst and request frame the tool writes.
class TranscriptPort final : public ForwardingPort {
  public:
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

  private:
    Transcript& log_;
};

// The drive's words differ from every default of the windows and dialogs, so that an
// operation that ignored what it read would send other words.
struct DriveWords {
    uint16_t address;
    std::vector<uint16_t> words;
};
const DriveWords kDriveWords[] = {
    {0x0201, {0xA201, 0xA202, 0xA203, 0xA204, 0xA205}},  // head words a download keeps
    // Motor block: 5 A, 5 pole pairs, Ls, Rs, Ke, Ki, clockwise, flags 0x1D under a high
    // byte the tool ignores, 2500 pulses, offset 0x1234.
    {0x0210, {0x0280, 5, 0x0FA0, 0x0514, 0x04E2, 0x0708, 1, 0x011D, 0x09C4, 0x1234}},
    {0x025D, {0x0078, 0x003C, 0x01C2, 0x0190}},  // speed loop Kp, T_rc, filters
    {0x026B, {0x015E, 0x0005, 0x005A}},          // position loop Kp, Kd, cut-off
};

struct Rig {
    VirtualClock clock{1'000'000};
    SharedState state;
    Transcript log{clock};
    std::shared_ptr<sim::SimDrive> drive;
    DriveLink link{state.link, clock, [this](const std::string&) -> std::unique_ptr<SerialPort> {
                       return std::make_unique<TranscriptPort>(
                           std::make_unique<sim::SimPort>(drive, clock, true), log);
                   }};

    explicit Rig(const std::string& motor) : drive(sim::MakeSimDrive({}, clock.nowUs())) {
        ApplyStartupValues(state);
        for (const DriveWords& d : kDriveWords) {
            for (std::size_t k = 0; k < d.words.size(); ++k) {
                drive->write(static_cast<uint32_t>(d.address + k), d.words[k]);
            }
        }
        // Turns clockwise and counts down, shows its index with Z type 1; halls 4 4 4 4.
        sim::SimMotorSpec spec;
        EXPECT_EQ(sim::ParseMotorSpec("pole-pairs=5,pulse-number=2500,magnet-direction=1,z-type=1,"
                                      "offset=0x2345,uvw-direction=1," +
                                          motor,
                                      spec),
                  std::nullopt);
        sim::MotorOf(*drive)->setSpec(spec);
    }
    void connect() { ASSERT_EQ(ChooseComPort(link, state.identity, log, 1), 1); }
};

// Stands in for a capture window: waits for its one record.
struct RecordWaiter final : SampleDoneListener {
    void sampleDone() override {
        std::call_once(once, [this] { record.set_value(); });
    }
    bool wait() {
        return record.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }
    std::once_flag once;
    std::promise<void> record;
};

std::optional<std::string> TempPar() {
    return ::testing::TempDir() + "transcript.par";
}

// Lasting time, range, sample position, divider, rate (unused), count of each loop.
const LoopCaptureSettings kTuneSettings[] = {
    {300, 2.5f, 0.96f, 2, 0, 70},
    {100, 1000.0f, 0.25f, 3, 0, 65},
    {50, 2000.0f, 0.5f, 5, 0, 40},
};

using Operation = std::function<void(Rig&, const std::string& arg)>;
const std::map<std::string, Operation> kOperations = {
    {"identify",
     [](Rig& r, const std::string& version) {
         if (!version.empty()) {
             r.drive->setVersions({static_cast<uint16_t>(std::stoi(version)), 101, 258});
         }
         ChooseComPort(r.link, r.state.identity, r.log, 1);
     }},
    {"load",
     [](Rig& r, const std::string&) {
         struct : ParamLoadProgress {
             void post(ParamLoadStage, int) override {}
         } quiet;
         LoadParamTableInline(r.link, r.state, quiet);
     }},
    {"upload",
     [](Rig& r, const std::string&) {
         std::string last;
         ParametersUploadCommand(r.link, r.state.parameterImage, r.log, TempPar, last);
     }},
    {"download",
     [](Rig& r, const std::string&) {
         std::ofstream file(*TempPar(), std::ios::binary);
         for (int word = 0x0200; word <= 0x03FF; ++word) {  // each word holds its address
             file.put(static_cast<char>(word >> 8)).put(static_cast<char>(word & 0xFF));
         }
         file.close();
         std::string last;
         ParametersDownloadCommand(r.link, r.state.parameterImage, r.log, TempPar, last);
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
         const CaptureKind kind = loop == "speed"      ? CaptureKind::Speed
                                  : loop == "position" ? CaptureKind::Position
                                                       : CaptureKind::Current;
         SettingsForLoop(r.state, kind) = kTuneSettings[static_cast<int>(kind)];
         RecordWaiter record;
         LoopTuner tuner(r.state, r.link, kind, r.log, r.log, record);
         ASSERT_TRUE(tuner.open());
         tuner.timerTick();
         ASSERT_TRUE(record.wait());
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
         RecordWaiter record;
         FreeRunMonitor monitor(r.state, r.link, r.log, record);
         ASSERT_TRUE(monitor.open());
         monitor.chooseAutoRun(!trigger);
         monitor.chooseEdge(kTriggerFalling);
         monitor.editSampleCount(trigger ? 100 : 80);
         monitor.editSampleRate(trigger ? 1000 : 2000);
         monitor.editTriggerValue(trigger ? -1.5 : 500);
         monitor.editWaveOffset(0.25);
         PlotData plot;
         ASSERT_TRUE(trigger ? monitor.refresh() : monitor.timerTick(plot));
         ASSERT_TRUE(record.wait());
         monitor.close();
     }},
    {"motor",
     [](Rig& r, const std::string&) {
         Session session(r.link);
         MotorFields fields;
         ReadMotorBlock(session, fields, r.state.currentLoopModel, r.log);
         WriteMotorBlock(session, fields, r.state.currentLoopModel, r.log);
     }},
    {"encoder",
     [](Rig& r, const std::string&) {
         Session session(r.link);
         ReadRotorPosition(session);
         FreezeRotor(session, 7);
         ServoOff(session);
     }},
    {"poll", [](Rig& r, const std::string&) { RunStatusPoll(r.link, r.state.driveStatus); }},
    {"match",
     [](Rig& r, const std::string& answer) {
         Session session(r.link);
         AutoMatchInput input;
         ReadMotorBlock(session, input.fields, input.loopModel, r.log);
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
    bool nextSelector = false;  // '+': the selector before plus one
    int selector = 0;
    int min = 1;
    int max = 1;  // -1: no limit
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
            std::map<std::string, std::string*>{
                {"!run", &e.run}, {"!fault", &e.fault}, {"!motor", &e.motor}}
                .at(head)
                ->assign(rest);
        } else if (head.size() == 2 && std::isxdigit(head[0]) && std::isxdigit(head[1])) {
            Pattern p{head, "", true, false, 0, 1, 1, line};
            std::istringstream fields(rest);
            fields >> t;
            p.nextSelector = t == "+";
            p.selector = p.nextSelector ? 0 : std::stoi(t, nullptr, 16);
            while (fields >> t) {
                if (t == "*" || t[0] == 'x') {
                    p.min = t == "*" ? 1 : std::stoi(t.substr(1));
                    p.max = t == "*" ? -1 : p.min;
                } else if (t.size() == 10 && t.substr(4, 2) == "..") {  // a run of words
                    for (int w = std::stoi(t.substr(0, 4), nullptr, 16);
                         w <= std::stoi(t.substr(6), nullptr, 16); ++w) {
                        p.payload +=
                            Hex(std::array<uint8_t, 2>{uint8_t(w >> 8), uint8_t(w)}.data(), 2);
                    }
                } else {
                    p.payload += " " + t;
                }
            }
            e.patterns.push_back(p);
        } else if (!head.empty() && head != ":" && head[0] != '!') {
            e.patterns.push_back({text, "", false, false, 0, 1, 1, line});
        }
    }
    EXPECT_TRUE(until.empty()) << "no label " << until << " in " << name;
}

// `again`: the line matched the request before, so this one may be its retry.
bool Matches(const Pattern& p, const Transcript::Entry& a, int previousSelector, bool again) {
    if (!p.request || !a.request) {
        return p.request == a.request && p.text == a.text;
    }
    const int s = std::stoi(a.text.substr(3, 2), nullptr, 16);
    const int want = p.nextSelector ? (previousSelector + 1) & 0xFF : p.selector;
    return a.text.substr(0, 2) == p.text && (s == want || (again && s == previousSelector)) &&
           (p.payload == " .." || a.text.substr(5) == p.payload);
}

// Where the transcript first departs from the expected lines: empty when it does not.
std::string Compare(const std::vector<Pattern>& expected,
                    const std::vector<Transcript::Entry>& actual) {
    std::size_t a = 0;
    int previous = -1;
    for (const Pattern& p : expected) {
        int n = 0;
        while (a < actual.size() && (p.max < 0 || n < p.max) &&
               Matches(p, actual[a], previous, n > 0)) {
            if (actual[a].request) {
                previous = std::stoi(actual[a].text.substr(3, 2), nullptr, 16);
            }
            ++a;
            ++n;
        }
        if (n < p.min) {
            return "expected line " + std::to_string(p.line) + " (" + p.text + " ...) at entry " +
                   std::to_string(a);
        }
    }
    return a == actual.size() ? "" : "more than expected from entry " + std::to_string(a);
}

std::vector<std::string> TranscriptNames() {
    std::vector<std::string> names;
    for (const auto& f : fs::directory_iterator(QX_TRANSCRIPT_DIR)) {
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
    const auto blank = e.run.find(' ');
    const std::string op = e.run.substr(0, blank);
    Rig rig(e.motor);
    if (op != "identify") {
        rig.connect();
        rig.log.clear();
    }
    if (!e.fault.empty()) {
        sim::FaultRule rule;
        ASSERT_EQ(sim::ParseFaultRule(e.fault, rule), std::nullopt);
        rig.drive->addFault(rule);
    }
    kOperations.at(op)(rig, blank == std::string::npos ? "" : e.run.substr(blank + 1));

    const auto actual = rig.log.entries();
    const std::string departure = Compare(e.patterns, actual);
    std::string all;
    for (std::size_t k = 0; k < actual.size(); ++k) {
        all += std::to_string(k) + ": " + actual[k].text + "\n";
    }
    EXPECT_EQ(departure, "") << "the transcript:\n" << all;
}

INSTANTIATE_TEST_SUITE_P(Operations, Transcripts, ::testing::ValuesIn(TranscriptNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace qx::test
