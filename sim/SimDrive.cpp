#include "sim/SimDrive.h"

#include <algorithm>

#include "sim/PayloadWords.h"

namespace qx::sim {

namespace {

constexpr uint32_t kWordSpace = 0x10000;
constexpr uint32_t kBootRomCell = 0x003F7F79;
constexpr uint32_t kSoftwareCell = 0x003EFFFE;
constexpr uint16_t kFpgaWord = 0x0000;
constexpr uint16_t kPn0Word = 0x0200;
constexpr uint16_t kExchangeArea = 0x0400;
constexpr std::size_t kMaxReplyWords = 124;  // a 256-byte frame: header, ack, words, checksum
// Keeps the spells' random numbers apart from the faults' for the same seed.
constexpr uint32_t kSpellStream = 0x5EED5;

void PutChecksum(Frame& f) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 2 < f.size(); ++i) {
        sum += f[i];
    }
    f[f.size() - 2] = static_cast<uint8_t>((sum >> 8) & 0xFF);
    f[f.size() - 1] = static_cast<uint8_t>(sum & 0xFF);
}

}  // namespace

std::optional<Fault> ParseFault(const std::string& name) {
    static const std::map<std::string, Fault> kNames = {
        {"silence", Fault::Silence},      {"bad-checksum", Fault::BadChecksum},
        {"no-ack", Fault::NoAck},         {"trailing-bytes", Fault::TrailingBytes},
        {"wrong-echo", Fault::WrongEcho}, {"truncate", Fault::Truncate},
    };
    const auto it = kNames.find(name);
    if (it == kNames.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::Silence:
            return "silence";
        case Fault::BadChecksum:
            return "bad-checksum";
        case Fault::NoAck:
            return "no-ack";
        case Fault::TrailingBytes:
            return "trailing-bytes";
        case Fault::WrongEcho:
            return "wrong-echo";
        case Fault::Truncate:
            return "truncate";
    }
    return "silence";
}

uint64_t FaultTally::total() const {
    uint64_t n = spells;
    for (uint64_t f : faults) {
        n += f;
    }
    return n;
}

Frame BuildReply(uint8_t command, uint8_t selector, const Answer& answer) {
    const std::size_t n = std::min(answer.words.size(), kMaxReplyWords);
    Frame f(8 + 2 * n);
    f[0] = 0xAA;
    f[1] = command;
    f[2] = selector;
    f[3] = static_cast<uint8_t>(f.size() / 2);
    f[4] = answer.ack ? 0xAA : 0x00;
    f[5] = answer.ack ? 0x55 : 0x00;
    for (std::size_t k = 0; k < n; ++k) {
        f[6 + 2 * k] = static_cast<uint8_t>(answer.words[k] >> 8);
        f[7 + 2 * k] = static_cast<uint8_t>(answer.words[k] & 0xFF);
    }
    PutChecksum(f);
    return f;
}

bool FrameAssembler::feed(uint8_t byte) {
    if (frame_.empty() && byte != 0xAA) {
        return false;  // sync burst or line noise between frames
    }
    frame_.push_back(byte);
    if (frame_.size() < 4) {
        return false;
    }
    const std::size_t length = 2u * frame_[3];
    if (length < 6 || length > 256) {
        frame_.clear();
        return false;
    }
    if (frame_.size() < length) {
        return false;
    }
    uint32_t sum = 0;
    for (std::size_t i = 0; i + 2 < length; ++i) {
        sum += frame_[i];
    }
    const uint32_t got = uint32_t{frame_[length - 2]} << 8 | frame_[length - 1];
    if ((sum & 0xFFFF) != got) {
        frame_.clear();  // a corrupt request is ignored, as a drive would
        return false;
    }
    return true;
}

SimDrive::SimDrive(const DriveConfig& config) : words_(kWordSpace, 0), rng_(1), spellRng_(1) {
    setVersions(config);
    installBasicCommands();
}

void SimDrive::setVersions(const DriveConfig& config) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    config_ = config;
    cells_[kBootRomCell] = config.bootRomVersion;
    cells_[kSoftwareCell] = config.softwareVersion;
    words_[kFpgaWord] = config.fpgaVersion;
    words_[kPn0Word] = config.softwareVersion;
}

DriveConfig SimDrive::config() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return config_;
}

uint16_t SimDrive::read(uint32_t address) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (address < kWordSpace) {
        return words_[address];
    }
    const auto it = cells_.find(address);
    return it == cells_.end() ? 0 : it->second;
}

void SimDrive::write(uint32_t address, uint16_t value) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (address < kWordSpace) {
        words_[address] = value;
    } else {
        cells_[address] = value;
    }
}

void SimDrive::addFault(const FaultRule& rule) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    rules_.push_back(rule);
}

void SimDrive::clearFaults() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    rules_.clear();
    randomProbability_ = 0.0;
    spellProbability_ = 0.0;
    spellUntilUs_ = 0;
    awayDurationUs_.reset();
    awayFromUs_ = awayUntilUs_ = 0;
}

void SimDrive::setRandomFaults(double probability, uint32_t seed) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    randomProbability_ = probability;
    rng_.seed(seed);
}

void SimDrive::setSilentSpells(double probability, uint32_t seed) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    spellProbability_ = probability;
    std::seed_seq sequence{seed, kSpellStream};
    spellRng_.seed(sequence);
    spellUntilUs_ = 0;
}

FaultTally SimDrive::faultTally() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return tally_;
}

void SimDrive::goAwayFor(uint64_t durationUs) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    awayDurationUs_ = durationUs;
}

void SimDrive::goAwayBetween(uint64_t fromUs, uint64_t untilUs) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    awayDurationUs_.reset();
    awayFromUs_ = fromUs;
    awayUntilUs_ = untilUs;
}

void SimDrive::setSubCommandHandler(uint16_t subCommand, SubCommandHandler handler) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    handlers_[subCommand] = std::move(handler);
}

SimDrive::SubCommandHandler SimDrive::subCommandHandler(uint16_t subCommand) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handlers_.find(subCommand);
    return it == handlers_.end() ? SubCommandHandler{} : it->second;
}

void SimDrive::setPollHandler(PollHandler handler) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    pollHandler_ = std::move(handler);
}

SimDrive::PollHandler SimDrive::pollHandler() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return pollHandler_;
}

std::vector<std::vector<uint8_t>> SimDrive::requestLog() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return log_;
}

void SimDrive::clearRequestLog() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_.clear();
}

uint64_t SimDrive::startJob() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return ++jobs_;
}

bool SimDrive::isLastJob(uint64_t ticket) const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return ticket == jobs_;
}

uint64_t SimDrive::requestCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return requests_;
}

std::optional<Fault> SimDrive::pickFault(uint8_t command, int subCommand, int address) {
    for (FaultRule& rule : rules_) {
        if (rule.count == 0) {
            continue;
        }
        if (rule.command >= 0 && rule.command != command) {
            continue;
        }
        if (rule.subCommand >= 0 && rule.subCommand != subCommand) {
            continue;
        }
        if (rule.address >= 0 && rule.address != address) {
            continue;
        }
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.count > 0) {
            --rule.count;
        }
        return rule.fault;
    }
    if (randomProbability_ > 0.0) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        if (chance(rng_) < randomProbability_) {
            std::uniform_int_distribution<int> kind(0, static_cast<int>(kFaultKinds) - 1);
            return static_cast<Fault>(kind(rng_));
        }
    }
    return std::nullopt;
}

bool SimDrive::inSilentSpell(uint64_t nowUs) {
    if (nowUs < spellUntilUs_) {
        ++tally_.silencedBySpells;
        return true;
    }
    if (spellProbability_ <= 0.0) {
        return false;
    }
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(spellRng_) >= spellProbability_) {
        return false;
    }
    std::uniform_int_distribution<uint64_t> length(kSilentSpellMinUs, kSilentSpellMaxUs);
    spellUntilUs_ = nowUs + length(spellRng_);
    ++tally_.spells;
    ++tally_.silencedBySpells;
    return true;
}

Frame SimDrive::handleRequest(std::span<const uint8_t> frame, uint64_t nowUs) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_.emplace_back(frame.begin(), frame.end());
    ++requests_;
    if (awayDurationUs_) {
        awayFromUs_ = nowUs;
        awayUntilUs_ = nowUs + *awayDurationUs_;
        awayDurationUs_.reset();
    }
    if (nowUs >= awayFromUs_ && nowUs < awayUntilUs_) {
        return {};  // gone: the request never reached a working drive
    }
    if (inSilentSpell(nowUs)) {
        return {};
    }

    const uint8_t command = frame[1];
    const uint8_t selector = frame[2];
    const auto payload = frame.subspan(4, frame.size() - 6);
    const int subCommand = (command == 0xC1 && payload.size() >= 2) ? Word(payload, 0) : -1;

    const int address = (command == 0xC1 && payload.size() >= 4) ? Word(payload, 2) : -1;
    const std::optional<Fault> fault = pickFault(command, subCommand, address);
    if (fault) {
        ++tally_.faults[static_cast<std::size_t>(*fault)];
    }
    if (fault == Fault::Silence) {
        return {};
    }
    Frame reply = BuildReply(command, selector, dispatch(command, payload, nowUs));
    if (!fault) {
        return reply;
    }
    switch (*fault) {
        case Fault::BadChecksum:
            reply.back() = static_cast<uint8_t>(reply.back() + 1);
            break;
        case Fault::NoAck:
            reply[4] = 0;
            reply[5] = 0;
            PutChecksum(reply);
            break;
        case Fault::TrailingBytes:
            reply.push_back(0x00);
            reply.push_back(0x00);
            break;
        case Fault::WrongEcho:
            reply[2] = static_cast<uint8_t>(selector + 1);
            PutChecksum(reply);
            break;
        case Fault::Truncate:
            reply.resize(reply.size() > 3 ? reply.size() - 3 : 0);
            break;
        case Fault::Silence:
            break;
    }
    return reply;
}

Answer SimDrive::dispatch(uint8_t command, std::span<const uint8_t> payload, uint64_t nowUs) {
    switch (command) {
        case 0xCF:
        case 0xC0:
            return Answer::Ok();
        case 0xC2:
            return pollHandler_ ? pollHandler_(*this, nowUs) : Answer::Ok();
        case 0xC1: {
            if (payload.size() < 2) {
                return Answer::NotAcknowledged();
            }
            const auto it = handlers_.find(Word(payload, 0));
            if (it == handlers_.end()) {
                return Answer::NotAcknowledged();
            }
            return it->second(*this, payload, nowUs);
        }
        default:
            return Answer::NotAcknowledged();
    }
}

void SimDrive::installBasicCommands() {
    // ReadWords: address, 00, count.
    handlers_[0x0091] = [](SimDrive& d, std::span<const uint8_t> p, uint64_t) {
        if (p.size() != 6) {
            return Answer::NotAcknowledged();
        }
        const uint16_t address = Word(p, 2);
        const std::size_t count = std::min<std::size_t>(p[5], kMaxReplyWords);
        std::vector<uint16_t> words(count);
        for (std::size_t k = 0; k < count; ++k) {
            words[k] = d.words_[(address + k) & 0xFFFF];
        }
        return Answer::Ok(std::move(words));
    };
    // WriteWords: address, count (word), words. WriteBlock: address, 00, count, words.
    auto writer = [](SimDrive& d, std::span<const uint8_t> p, uint64_t) {
        if (p.size() < 6) {
            return Answer::NotAcknowledged();
        }
        const uint16_t address = Word(p, 2);
        const std::size_t count = Word(p, 4);
        if (p.size() != 6 + 2 * count) {
            return Answer::NotAcknowledged();
        }
        for (std::size_t k = 0; k < count; ++k) {
            d.words_[(address + k) & 0xFFFF] = Word(p, 6 + 2 * k);
        }
        return Answer::Ok();
    };
    handlers_[0x0015] = writer;
    handlers_[0x0014] = writer;
    // GatherWords: n, three constants, four zero bytes, then n entries (00 00, address).
    handlers_[0x001A] = [](SimDrive& d, std::span<const uint8_t> p, uint64_t) {
        if (p.size() < 14) {
            return Answer::NotAcknowledged();
        }
        const std::size_t n = Word(p, 2);
        if (p.size() != 14 + 6 * n) {
            return Answer::NotAcknowledged();
        }
        for (std::size_t k = 0; k < n; ++k) {
            const uint32_t address = DWord(p, 14 + 6 * k + 2);
            d.words_[kExchangeArea + 2 * k] = 0;
            d.words_[kExchangeArea + 2 * k + 1] = d.read(address);
        }
        return Answer::Ok();
    };
}

}  // namespace qx::sim
