#include "sim/ParamFeatures.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "link/DriveCommands.h"
#include "params/ParamCatalog.h"
#include "sim/PayloadWords.h"

namespace qx::sim {

namespace {

constexpr uint16_t kImageFirst = kParamImageFirstWord;
constexpr uint16_t kImageWords = kParamImageWordCount;
constexpr uint16_t kImageHalfWords = kImageWords / 2;
constexpr uint16_t kPn0Word = 0x0200;
constexpr uint16_t kProtectionWord = drive_address::kProtectionCode;

// Pn 1 to 63: minimum, maximum, factory default.
constexpr std::array<SimParam, 64> kFixedParams = {{
    {0, 0, 0},   // 0 software version, filled in from the drive
    {0, 21, 6},  // 1 motor type code
    {-32768, 32767, static_cast<int16_t>(kUnlockCode)},  // 2 protection code: any word
    {0, 18, 1},                                          // 3 display mode
    {0, 6, 2},                                           // 4 control mode
    {0, 1000, 100},                                      // 5 brake delay, ms
    {0, 1000, 50},                                       // 6 current turn-off delay, ms
    {0, 3000, 30},                                       // 7 brake speed, r/min
    {0, 63, 0},                                          // 8 bit field, 6 bits
    {0, 15, 0},                                          // 9 bit field, 4 bits
    {0, 63, 0},                                          // 10 bit field, 6 bits
    {0, 63, 0},                                          // 11 bit field, 6 bits
    {0, 15, 0},                                          // 12 bit field, 4 bits
    {0, 15, 0},                                          // 13 bit field, 4 bits
    {0, 7, 0},                                           // 14 bit field, 3 bits
    {0, 1000, 100},                                      // 15 analog torque gain
    {-1000, 1000, 0},                                    // 16 analog torque bias
    {0, 1, 0},                                           // 17 analog torque invert
    {0, 3000, 300},                                      // 18 analog speed gain
    {-1000, 1000, 0},                                    // 19 analog speed bias
    {0, 1, 0},                                           // 20 analog speed invert
    {1, 1000, 300},                                      // 21 analog speed bandwidth, Hz
    {0, 300, 120},                                       // 22 overload value, %
    {0, 30000, 1000},                                    // 23 overload time, ms
    {0, 1, 1},                                           // 24 brake resistor alarm
    {0, 300, 300},                                       // 25 internal CW torque limit, %
    {0, 300, 300},                                       // 26 internal CCW torque limit, %
    {0, 300, 100},                                       // 27 external CW torque limit, %
    {0, 300, 100},                                       // 28 external CCW torque limit, %
    {0, 5000, 2000},                                     // 29 speed limit in torque mode, r/min
    {1, 3000, 150},                                      // 30 speed proportional gain
    {1, 10000, 200},                                     // 31 speed integration time, 0.1 ms
    {1, 2000, 500},                                      // 32 speed low-pass, Hz
    {1, 2000, 800},                                      // 33 torque low-pass, Hz
    {0, 10000, 100},                                     // 34 acceleration time, ms
    {0, 10000, 100},                                     // 35 deceleration time, ms
    {-5000, 5000, 100},                                  // 36 internal speed 1
    {-5000, 5000, 500},                                  // 37 internal speed 2
    {-5000, 5000, 1000},                                 // 38 internal speed 3
    {-5000, 5000, 1500},                                 // 39 internal speed 4
    {0, 1, 0},                                           // 40 internal or external speed
    {0, 5000, 120},                                      // 41 JOG speed
    {0, 6000, 3000},                                     // 42 maximum speed
    {0, 5000, 10},                                       // 43 target speed
    {1, 1000, 40},                                       // 44 position proportional gain
    {0, 1000, 0},                                        // 45 position differential gain
    {0, 1000, 0},                                        // 46 feedforward bandwidth
    {0, 1000, 0},                                        // 47 position instruction filter
    {1, 32767, 1},                                       // 48 gear denominator
    {1, 32767, 1},                                       // 49 first gear numerator
    {1, 32767, 1},                                       // 50 second gear numerator
    {0, 1, 0},                                           // 51 dynamic gearbox
    {0, 3, 0},                                           // 52 pulse input mode
    {0, 1, 0},                                           // 53 position instruction invert
    {0, 32767, 20},                                      // 54 target position range, pulses
    {0, 32767, 400},                                     // 55 acceptable position error
    {0, 1, 1},                                           // 56 tracking error check
    {0, 1023, 33},                                       // 57 feedback pulse ratio A/B, 33 is 1:1
    {0, 1, 0},                                           // 58 home mode
    {0, 3000, 100},                                      // 59 homing speed
    {0, 10000, 100},                                     // 60 homing acceleration
    {-9999, 9999, 0},                                    // 61 HOME offset high part
    {-9999, 9999, 0},                                    // 62 HOME offset low part
    {0, 3, 0},                                           // 63 demo or point-to-point mode
}};

constexpr int kTorqueDemoFirst = 64;
constexpr int kSpeedDemoFirst = 84;
constexpr int kPositionFirst = 104;
constexpr int kPositionFields = 5;

bool IsProtected(uint32_t word) {
    return word >= ParamWordAddress(1) && word <= ParamWordAddress(kHighestParamNumber) &&
           word != kProtectionWord;
}

// The EEPROM and what the store operations have staged for it.
struct Eeprom {
    std::optional<std::vector<uint16_t>> words;  // taken from memory on first use
    std::vector<uint16_t> staged = std::vector<uint16_t>(kImageWords, 0);
    bool lowStaged = false;
    bool highStaged = false;

    void powerUp(const SimDrive& drive) {
        if (!words) {
            words.emplace(kImageWords);
            for (uint16_t k = 0; k < kImageWords; ++k) {
                (*words)[k] = drive.read(kImageFirst + k);
            }
        }
    }
};

bool Unlocked(const SimDrive& drive) {
    return drive.read(kProtectionWord) == kUnlockCode;
}

}  // namespace

SimParam SimParamOf(int pn, uint16_t softwareVersion) {
    if (pn == 0) {
        const auto v = static_cast<int16_t>(softwareVersion);
        return {v, v, v};
    }
    if (pn < kTorqueDemoFirst) {
        return kFixedParams[static_cast<std::size_t>(pn)];
    }
    if (pn < kSpeedDemoFirst) {
        const int offset = pn - kTorqueDemoFirst;
        const int16_t sign = (offset / 2) % 2 == 0 ? 1 : -1;
        return offset % 2 == 0 ? SimParam{-300, 300, static_cast<int16_t>(50 * sign)}
                               : SimParam{0, 100, 1};
    }
    if (pn < kPositionFirst) {
        const int offset = pn - kSpeedDemoFirst;
        const int16_t sign = (offset / 2) % 2 == 0 ? 1 : -1;
        return offset % 2 == 0 ? SimParam{-5000, 5000, static_cast<int16_t>(500 * sign)}
                               : SimParam{0, 100, 2};
    }
    const int offset = pn - kPositionFirst;
    const auto position = static_cast<int16_t>(offset / kPositionFields + 1);
    switch (offset % kPositionFields) {
        case 0:
            return {-9999, 9999, 0};  // high part, x 10000 pulses
        case 1:
            return {-9999, 9999, static_cast<int16_t>(position * 500)};  // low part
        case 2:
            return {0, 5000, 500};  // speed, r/min
        case 3:
            return {0, 32767, 1000};  // acceleration, r/(s*s)
        default:
            return {0, 300, 200};  // maximum torque, %
    }
}

void InstallParameterFeatures(SimDrive& drive) {
    drive.locked([](SimDrive& d) {
        const uint16_t version = d.config().softwareVersion;
        for (int pn = 0; pn <= kHighestParamNumber; ++pn) {
            const SimParam param = SimParamOf(pn, version);
            d.write(ParamMinimumAddress(pn), static_cast<uint16_t>(param.minimum));
            d.write(ParamMaximumAddress(pn), static_cast<uint16_t>(param.maximum));
            if (pn > 0) {
                d.write(ParamWordAddress(pn), static_cast<uint16_t>(param.defaultValue));
            }
        }
        return 0;
    });

    auto eeprom = std::make_shared<Eeprom>();

    // Writes: Pn 0 never changes; other parameters only while the drive is unlocked.
    // A whole-image block write is a deliberate restore that the tool follows with the
    // unlock code, so only single writes are guarded by the protection code; otherwise a
    // file saved from a protected drive could never be downloaded again.
    auto guard = [eeprom](SimDrive::SubCommandHandler inner, bool protectedWrite) {
        return [eeprom, inner, protectedWrite](SimDrive& d, std::span<const uint8_t> p,
                                               uint64_t nowUs) {
            if (p.size() < 6 || !inner) {
                return Answer::NotAcknowledged();
            }
            eeprom->powerUp(d);
            const uint32_t address = Word(p, 2);
            const uint32_t count = p[5];
            const bool locked = !Unlocked(d);
            for (uint32_t k = 0; k < count && 6 + 2 * k + 1 < p.size(); ++k) {
                const uint32_t word = (address + k) & 0xFFFF;
                if (word == kPn0Word && Word(p, 6 + 2 * k) != d.read(kPn0Word)) {
                    return Answer::NotAcknowledged();
                }
                if (protectedWrite && locked && IsProtected(word)) {
                    return Answer::NotAcknowledged();
                }
            }
            return inner(d, p, nowUs);
        };
    };
    const auto writeWords = static_cast<uint16_t>(SubCommand::WriteWords);
    const auto writeBlock = static_cast<uint16_t>(SubCommand::WriteBlock);
    drive.setSubCommandHandler(writeWords, guard(drive.subCommandHandler(writeWords), true));
    drive.setSubCommandHandler(writeBlock, guard(drive.subCommandHandler(writeBlock), false));

    drive.setSubCommandHandler(static_cast<uint16_t>(SubCommand::StoreOp),
                               [eeprom](SimDrive& d, std::span<const uint8_t> p, uint64_t) {
                                   if (p.size() != 4 || !Unlocked(d)) {
                                       return Answer::NotAcknowledged();
                                   }
                                   eeprom->powerUp(d);
                                   Eeprom& e = *eeprom;
                                   switch (Word(p, 2)) {
                                       case 2:
                                           for (uint16_t k = 0; k < kImageHalfWords; ++k) {
                                               e.staged[k] = d.read(kImageFirst + k);
                                           }
                                           e.lowStaged = true;
                                           return Answer::Ok();
                                       case 3:
                                           for (uint16_t k = kImageHalfWords; k < kImageWords;
                                                ++k) {
                                               e.staged[k] = d.read(kImageFirst + k);
                                           }
                                           e.highStaged = true;
                                           return Answer::Ok();
                                       case 6:
                                           if (!e.lowStaged || !e.highStaged) {
                                               return Answer::NotAcknowledged();
                                           }
                                           *e.words = e.staged;
                                           e.lowStaged = e.highStaged = false;
                                           return Answer::Ok();
                                       case 4:
                                           // Pn 0 is the firmware's own and is never restored.
                                           for (uint16_t k = 1; k < kImageWords; ++k) {
                                               d.write(kImageFirst + k, (*e.words)[k]);
                                           }
                                           return Answer::Ok();
                                       default:
                                           return Answer::NotAcknowledged();
                                   }
                               });
}

}  // namespace qx::sim
