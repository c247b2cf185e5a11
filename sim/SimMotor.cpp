#include "sim/SimMotor.h"

#include <cmath>
#include <map>
#include <mutex>
#include <sstream>

#include "sim/PayloadWords.h"

namespace qx::sim {

namespace {

constexpr uint16_t kSubReadWords = 0x0091;
constexpr uint16_t kSubWriteBlock = 0x0014;
constexpr uint16_t kSubWriteWords = 0x0015;
constexpr uint16_t kSubMotorTest = 0x0018;
constexpr uint16_t kActionTurn = 2;
constexpr uint16_t kActionPolePairTest = 3;
constexpr uint16_t kActionServoOff = 5;
constexpr uint16_t kModeTurn = 0;
constexpr uint16_t kModeHold = 1;
constexpr uint16_t kAlarmClearWord = 0x4000;
// Bits 9..11 set for a standard encoder; a less-wire one drives only bit 8.
constexpr uint16_t kSignalStandard = 0x0E00;
constexpr uint16_t kSignalLessWire = 0x0100;
constexpr uint16_t kHallForward = 3;
constexpr uint16_t kHallReverse = 4;
constexpr double kMicrosPerMinute = 60e6;

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

SimMotor::SimMotor(SimDrive& drive) : drive_(drive), noise_(spec_.noiseSeed) {}

void SimMotor::setSpec(const SimMotorSpec& spec) {
    drive_.locked([&](SimDrive&) {
        spec_ = spec;
        if (spec_.pulseNumber < 4) {
            spec_.pulseNumber = 4;
        }
        noise_.seed(spec.noiseSeed);
        state_.mode = SimMotorMode::Off;
        state_.indexArmed = false;
        drive_.write(kIndexFlagWord, spec.indexSeenAtStart ? 1 : 0);
        writeSignalWord();
    });
}

SimMotorSpec SimMotor::spec() const {
    return drive_.locked([&](SimDrive&) { return spec_; });
}

SimMotorState SimMotor::state() const {
    return drive_.locked([&](SimDrive&) { return state_; });
}

void SimMotor::writeSignalWord() {
    drive_.write(kEncoderSignalWord, spec_.encoderType == 1 ? kSignalLessWire : kSignalStandard);
}

int64_t SimMotor::countsNow() const {
    return static_cast<int64_t>(std::floor(counts_));
}

void SimMotor::advanceTo(uint64_t nowUs) {
    if (!clockStarted_ || nowUs < lastUs_) {
        clockStarted_ = true;
        lastUs_ = nowUs;
    }
    const uint64_t dt = nowUs - lastUs_;
    lastUs_ = nowUs;
    if (state_.mode != SimMotorMode::Turning || state_.current == 0 || dt == 0) {
        return;
    }
    // The encoder counts up when the pulse direction matches the way the shaft turns.
    const double sign = spec_.pulseDirection == spec_.magnetDirection ? 1.0 : -1.0;
    const int64_t before = countsNow();
    counts_ +=
        sign * spec_.turnRpm * spec_.pulseNumber * static_cast<double>(dt) / kMicrosPerMinute;
    const int64_t after = countsNow();
    const bool indexPassed =
        FloorDiv(before, spec_.pulseNumber) != FloorDiv(after, spec_.pulseNumber);
    const bool zMatches = (drive_.read(kEncoderFlagsWord) & 0x0003) == spec_.zPulseType;
    if (indexPassed && zMatches && state_.indexArmed) {
        drive_.write(kIndexFlagWord, 1);
        state_.indexArmed = false;
    }
    drive_.write(kRotorPositionWord, static_cast<uint16_t>(after & 0xFFFF));
}

Answer SimMotor::motorTest(std::span<const uint8_t> p, uint64_t nowUs) {
    advanceTo(nowUs);
    if (p.size() < 4) {
        return Answer::NotAcknowledged();
    }
    const uint16_t action = Word(p, 2);
    if (action == kActionTurn && p.size() == 8) {
        const uint16_t mode = Word(p, 6);
        if (mode != kModeTurn && mode != kModeHold) {
            return Answer::NotAcknowledged();
        }
        state_.current = Word(p, 4);
        state_.mode = mode == kModeTurn ? SimMotorMode::Turning : SimMotorMode::Holding;
        return Answer::Ok();
    }
    if (action == kActionPolePairTest && p.size() == 6) {
        state_.current = Word(p, 4);
        state_.mode = SimMotorMode::PolePairTest;
        testStartUs_ = nowUs;
        testJob_ = drive_.startJob();
        return Answer::Ok();
    }
    if (action == kActionServoOff && p.size() == 4) {
        state_.mode = SimMotorMode::Off;
        state_.current = 0;
        ++state_.servoOffs;
        return Answer::Ok();
    }
    return Answer::NotAcknowledged();
}

void SimMotor::finishPolePairTest() {
    std::uniform_int_distribution<int> lowBits(0, 3);
    std::uniform_int_distribution<int> jitter(-1, 1);
    const auto pulseNumber = static_cast<uint16_t>((spec_.pulseNumber & 0xFFFC) | lowBits(noise_));
    const auto fourPolePairs = static_cast<uint16_t>(4 * spec_.polePairs + jitter(noise_));
    std::array<uint16_t, 4> hall{};
    if (spec_.hallWords) {
        hall = *spec_.hallWords;
    } else {
        hall.fill(spec_.uvwDirection == 1 ? kHallReverse : kHallForward);
    }
    const uint16_t words[7] = {pulseNumber, fourPolePairs, spec_.encoderOffset, hall[0], hall[1],
                               hall[2],     hall[3]};
    for (uint16_t k = 0; k < 7; ++k) {
        drive_.write(kResultsWord + k, words[k]);
    }
    state_.mode = SimMotorMode::Off;
    state_.current = 0;
    ++state_.polePairTests;
}

std::optional<Answer> SimMotor::poll(uint64_t nowUs) {
    advanceTo(nowUs);
    if (state_.mode != SimMotorMode::PolePairTest || !drive_.isLastJob(testJob_)) {
        return std::nullopt;
    }
    if (nowUs - testStartUs_ < uint64_t{spec_.polePairTestMs} * 1000) {
        return Answer::NotAcknowledged();  // still measuring
    }
    finishPolePairTest();
    return Answer::Ok();
}

void SimMotor::afterWrite(uint16_t address, std::size_t count) {
    const auto covers = [&](uint16_t word) { return word >= address && word < address + count; };
    if (covers(kIndexFlagWord)) {
        // Writing 1 arms the flag: it reads 0 until the next index pulse.
        if ((drive_.read(kIndexFlagWord) & 1) != 0) {
            drive_.write(kIndexFlagWord, 0);
            state_.indexArmed = true;
        } else {
            state_.indexArmed = false;
        }
    }
    if (covers(kAlarmWordFirst) && drive_.read(kAlarmWordFirst) == kAlarmClearWord) {
        for (uint16_t k = 0; k < kAlarmWords; ++k) {
            drive_.write(kAlarmWordFirst + k, 0);
        }
        ++state_.alarmClears;
    }
}

namespace {

std::mutex gRegistryMutex;
std::map<const SimDrive*, std::weak_ptr<SimMotor>> gRegistry;

}  // namespace

std::shared_ptr<SimMotor> MotorOf(const SimDrive& drive) {
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    const auto it = gRegistry.find(&drive);
    return it == gRegistry.end() ? nullptr : it->second.lock();
}

std::optional<std::string> ParseMotorSpec(const std::string& text, SimMotorSpec& spec) {
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        const auto eq = part.find('=');
        if (eq == std::string::npos) {
            return "expected key=value in '" + part + "'";
        }
        const std::string key = part.substr(0, eq);
        const std::string value = part.substr(eq + 1);
        try {
            std::size_t used = 0;
            if (key == "hall") {
                std::array<uint16_t, 4> hall{};
                std::stringstream words(value);
                std::string w;
                std::size_t n = 0;
                while (std::getline(words, w, '/') && n < hall.size()) {
                    hall[n++] = static_cast<uint16_t>(std::stoul(w, &used, 0));
                }
                if (n != hall.size()) {
                    return "hall needs four words, as in hall=3/3/3/3";
                }
                spec.hallWords = hall;
                continue;
            }
            if (key == "rpm") {
                spec.turnRpm = std::stod(value, &used);
            } else {
                const long v = std::stol(value, &used, 0);
                if (key == "pole-pairs") {
                    spec.polePairs = static_cast<int>(v);
                } else if (key == "pulse-number") {
                    spec.pulseNumber = static_cast<int>(v);
                } else if (key == "encoder-type") {
                    spec.encoderType = static_cast<int>(v);
                } else if (key == "magnet-direction") {
                    spec.magnetDirection = static_cast<int>(v);
                } else if (key == "pulse-direction") {
                    spec.pulseDirection = static_cast<int>(v);
                } else if (key == "uvw-direction") {
                    spec.uvwDirection = static_cast<int>(v);
                } else if (key == "z-type") {
                    spec.zPulseType = static_cast<int>(v);
                } else if (key == "offset") {
                    spec.encoderOffset = static_cast<uint16_t>(v);
                } else if (key == "test-ms") {
                    spec.polePairTestMs = static_cast<uint32_t>(v);
                } else {
                    return "unknown key '" + key + "'";
                }
            }
            if (used != value.size()) {
                return "'" + value + "' is not a number";
            }
        } catch (const std::exception&) {
            return "'" + value + "' is not a number";
        }
    }
    return std::nullopt;
}

std::shared_ptr<SimMotor> InstallMotorFeatures(SimDrive& drive, const SimMotorSpec& spec) {
    auto motor = std::make_shared<SimMotor>(drive);
    motor->setSpec(spec);
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        std::erase_if(gRegistry, [](const auto& entry) { return entry.second.expired(); });
        gRegistry[&drive] = motor;
    }

    drive.setSubCommandHandler(kSubMotorTest,
                               [motor](SimDrive&, std::span<const uint8_t> p, uint64_t nowUs) {
                                   return motor->motorTest(p, nowUs);
                               });

    // Reads see the rotor as it stands at the instant of the request.
    SimDrive::SubCommandHandler read = drive.subCommandHandler(kSubReadWords);
    drive.setSubCommandHandler(
        kSubReadWords, [motor, read](SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
            motor->advanceTo(nowUs);
            return read ? read(d, p, nowUs) : Answer::NotAcknowledged();
        });

    for (const uint16_t sub : {kSubWriteBlock, kSubWriteWords}) {
        SimDrive::SubCommandHandler write = drive.subCommandHandler(sub);
        drive.setSubCommandHandler(
            sub, [motor, write](SimDrive& d, std::span<const uint8_t> p, uint64_t nowUs) {
                motor->advanceTo(nowUs);
                if (!write) {
                    return Answer::NotAcknowledged();
                }
                Answer answer = write(d, p, nowUs);
                if (answer.ack && p.size() >= 6) {
                    motor->afterWrite(Word(p, 2), p[5]);
                }
                return answer;
            });
    }

    SimDrive::PollHandler previous = drive.pollHandler();
    drive.setPollHandler([motor, previous](SimDrive& d, uint64_t nowUs) {
        if (std::optional<Answer> mine = motor->poll(nowUs)) {
            return *mine;
        }
        return previous ? previous(d, nowUs) : Answer::Ok();
    });
    return motor;
}

}  // namespace qx::sim
