#include "motor/MatchSteps.h"

#include <cmath>

#include "motor/EncoderFixing.h"
#include "motor/MotorBlock.h"

namespace qx {

namespace {

constexpr double kTestCurrentFactor = 25.6;  // 128 / 5
constexpr uint8_t kAlarmWords = 3;

}  // namespace

uint16_t TestCurrentRaw(float ratedCurrentA) {
    const double raw = std::trunc(kTestCurrentFactor * static_cast<double>(ratedCurrentA));
    if (!(raw > 0.0)) {
        return 0;  // also NaN
    }
    return raw >= 65535.0 ? uint16_t{65535} : static_cast<uint16_t>(raw);
}

int32_t DecodePulseNumber(uint16_t w0) {
    return w0 & kPulseNumberMask;
}

int32_t DecodePolePairs(uint16_t w1) {
    return (w1 >> 2) + ((w1 & 0x0002) != 0 ? 1 : 0);
}

std::optional<int32_t> DecodeUvwDirection(const uint16_t (&hall)[4]) {
    const auto all = [&](uint16_t v) {
        return hall[0] == v && hall[1] == v && hall[2] == v && hall[3] == v;
    };
    if (all(kHallForward)) {
        return 0;
    }
    if (all(kHallReverse)) {
        return 1;
    }
    return std::nullopt;
}

int32_t DecodeEncoderType(uint8_t signalHighByte) {
    return (signalHighByte & kStandardEncoderHighBits) != 0 ? kEncoderStandard : kEncoderLessWire;
}

uint32_t ClearAlarms(Session& session) {
    const uint16_t zeros[kAlarmWords] = {0, 0, 0};
    uint32_t status = WriteWords(session.link(), session.next(), drive_address::kAlarmClearFirst,
                                 zeros, kBudgetShortMs);
    if (status != kStatusOk) {
        return status;
    }
    const uint16_t clear[kAlarmWords] = {kAlarmClearWord, 0, 0};
    status = WriteWords(session.link(), session.next(), drive_address::kAlarmClearFirst, clear,
                        kBudgetShortMs);
    return status;
}

uint32_t DetectEncoderType(Session& session, MotorFields& fields) {
    DriveLink& link = session.link();
    const uint32_t status =
        ReadWords(link, session.next(), drive_address::kEncoderSignal, 1, kBudgetShortMs);
    if (status == kStatusOk) {
        fields.encoderType = DecodeEncoderType(link.rxFrame()[kReplyDataOffset]);
    }
    return status;
}

uint32_t DetectPulseDirection(Session& session, MotorFields& fields,
                              const std::atomic<bool>& stop) {
    DriveLink& link = session.link();
    uint32_t status = kStatusOk;
    int score = 0;
    int passes = 0;
    while (score > -kDirectionScoreTarget && score < kDirectionScoreTarget && status == kStatusOk) {
        if (stop) {
            return kMatchStopped;
        }
        if (passes++ == kMaxDirectionPasses) {
            return kMatchGaveUp;
        }
        uint16_t s[3] = {};
        for (uint16_t& sample : s) {
            status =
                ReadWords(link, session.next(), drive_address::kRotorPosition, 1, kBudgetShortMs);
            if (status != kStatusOk) {
                break;
            }
            sample = link.replyWord(0);
        }
        if (status != kStatusOk) {
            break;
        }
        if (s[0] < s[1] && s[1] < s[2]) {
            ++score;
        } else if (s[0] > s[1] && s[1] > s[2]) {
            --score;
        }
    }
    if (score == kDirectionScoreTarget) {
        fields.pulseDirection = 0;
    } else if (score == -kDirectionScoreTarget) {
        fields.pulseDirection = 1;
    }
    if (fields.magnetDirection == 1) {
        fields.pulseDirection = 1 - fields.pulseDirection;
    }
    return status;
}

uint32_t DetectZPulseType(Session& session, MotorFields& fields, const std::atomic<bool>& stop) {
    DriveLink& link = session.link();
    Clock& clock = link.clock();
    int32_t candidate = 0;
    bool newTrial = true;
    bool found = false;
    uint32_t trialStart = 0;
    uint32_t status = kStatusOk;
    while (!found && status == kStatusOk) {
        if (stop) {
            status = kMatchStopped;
            break;
        }
        if (newTrial) {
            if (candidate == kZPulseTypeCandidates) {
                status = kMatchGaveUp;
                break;
            }
            const uint16_t flags[1] = {static_cast<uint16_t>(candidate)};
            status = WriteWords(link, session.next(), kMotorFlagsWord, flags, kBudgetShortMs);
            ++candidate;
            if (status == kStatusOk) {
                const uint8_t arm[2] = {0x00, 0x01};
                status = WriteBlock(link, session.next(), drive_address::kIndexFlag, arm,
                                    kBudgetShortMs);
            }
            trialStart = clock.tickMs();
        }
        if (status == kStatusOk) {
            status = ReadWords(link, session.next(), drive_address::kIndexFlag, 1, kBudgetShortMs);
            if (status == kStatusOk && (link.rxFrame()[kReplyDataOffset + 1] & 0x01) != 0) {
                found = true;
                --candidate;
            }
        }
        newTrial = clock.elapsedMs(trialStart) > kZTrialMs;
    }
    fields.zPulseType = candidate;
    return status;
}

uint32_t DetectPolePairsAndOffset(Session& session, MotorFields& fields, uint16_t testCurrent,
                                  MessageSink& messages, const std::atomic<bool>& stop) {
    DriveLink& link = session.link();
    Clock& clock = link.clock();
    uint32_t status = MotorTest(link, session.next(), MotorTestAction::PolePairTest, testCurrent, 0,
                                kBudgetShortMs);
    if (status == kStatusOk) {
        const uint32_t start = clock.tickMs();
        do {
            if (stop) {
                return kMatchStopped;
            }
            if (clock.elapsedMs(start) > kPolePairTestLimitMs) {
                return kMatchGaveUp;
            }
            status = PollRequest(link, session.next(), kBudgetShortMs);
        } while (status == kStatusNoAck);
    }
    if (status == kStatusOk) {
        status = ReadWords(link, session.next(), drive_address::kExchangeArea, kPolePairResultWords,
                           kBudgetShortMs);
    }
    if (status != kStatusOk) {
        return status;
    }
    const int32_t pulseNumber = DecodePulseNumber(link.replyWord(0));
    const int32_t polePairs = DecodePolePairs(link.replyWord(1));
    if (!kPulseNumberRange.contains(pulseNumber) || !kPolePairsRange.contains(polePairs)) {
        // No motor the dialog could hold: not a result, whatever answered the polls.
        return kMatchOutOfRange;
    }
    fields.pulseNumber = pulseNumber;
    fields.polePairs = polePairs;
    fields.encoderOffset = link.replyWord(2);
    if (fields.encoderType == kEncoderLessWire) {
        fields.uvwDirection = 0;
    } else {
        const uint16_t hall[4] = {link.replyWord(3), link.replyWord(4), link.replyWord(5),
                                  link.replyWord(6)};
        if (const auto uvw = DecodeUvwDirection(hall)) {
            fields.uvwDirection = *uvw;
        } else {
            messages.show(kTextHallOutOfRange, kTitleWarning);
        }
    }
    return kStatusOk;
}

}  // namespace qx
