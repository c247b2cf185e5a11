// The status words beyond the poll's transcript (tests/transcripts/poll.txt): where each
// comes from, what a failed poll leaves, how the dialog shows them, which lamp each lights.

#include <gtest/gtest.h>

#include "monitor/PortLamps.h"
#include "monitor/ServoStateValues.h"
#include "monitor/StatusPoll.h"
#include "tests/support/LinkFixture.h"

namespace qx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A status reply whose fields all differ, so a field read from the wrong bytes shows:
// reply bytes 6-7 are not used, then torque, speed, position (32 bits), alarm, torque,
// speed and position (32 bits) instructions, phases, inputs, outputs and DC bus.
const Bytes kReply = AckReply(0xC2, 1,
                              {0xDEAD, 0xFF80, 0xFFFD, 0x0001, 0x86A0, 0x0107, 0x00C0, 0x000A,
                               0xFFFF, 0xFFF6, 0x002A, 0x0201, 0x0016, 0x0136});
const StatusWords kDecoded{0xFF80,     0xFFFD, 100000, 0x0107, 0x00C0, 0x000A,
                           0xFFFFFFF6, 0x002A, 0x0201, 0x0016, 310};

// Each poll follows one that left a full reply in the frame buffer. A failed poll (or a
// reply too short for the status, whose stale bytes must not pass) keeps the fields.
TEST(StatusPoll, EachFieldComesFromItsBytesAndAFailedOrShortPollKeepsThem) {
    const StatusWords before{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const Bytes reset = AckReply(0xCF, 0), setUp = AckReply(0xC0, 0);
    const Bytes cut = AckReply(0xC2, 1, std::vector<uint16_t>(13));  // 34 of the 36 bytes
    const struct {
        const char* name;
        std::vector<Bytes> replies;  // then silence
        std::size_t requests;        // that reach the drive (a silent one is sent twice)
        uint32_t status;
        StatusWords fields;
    } rows[] = {{"answered", {reset, setUp, kReply}, 3, kStatusOk, kDecoded},
                {"reset", {}, 2, kStatusNoReply, before},
                {"connection set-up", {reset}, 3, kStatusNoReply, before},
                {"poll", {reset, setUp}, 4, kStatusNoReply, before},
                {"a word short", {reset, setUp, cut}, 3, kStatusWrongDataLength, before}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedLink s;
        s.open();
        for (const Bytes& r : {reset, setUp, kReply}) {
            s.port->script(r);
        }
        ASSERT_EQ(RunStatusPoll(s.link, s.state.driveStatus), kStatusOk);
        StoreStatusWords(s.state.driveStatus, before);
        const std::size_t sent = s.port->requests().size();
        for (const Bytes& r : row.replies) {
            s.port->script(r);
        }
        EXPECT_EQ(RunStatusPoll(s.link, s.state.driveStatus), row.status);
        EXPECT_EQ(s.port->requests().size() - sent, row.requests);
        EXPECT_EQ(s.state.link.driveConnected, row.status == kStatusOk ? 1u : 0u);
        EXPECT_EQ(LoadStatusWords(s.state.driveStatus), row.fields);
    }
}

// Each word in the dialog's units, the DC bus from software version 1001 on, and the
// general number format.
TEST(ServoStateValues, EachWordInTheDialogsUnits) {
    const struct {
        StatusWords words;
        ServoStateValues shown;
    } rows[] = {
        // Speeds truncate toward zero (-3 / 4 is 0) and are divided before they are
        // subtracted; only the low 16 bits of a 16-bit field count; the alarm number needs
        // the high byte; the phase, input and output words are not shown.
        {{0xFF80, 0xFFFD, 990, 0x0107, 0x00C0, 0x000A, 1000, 0xFFFF, 0xFFFF, 0xFFFF, 311},
         {-1.0f, 0, 990, 10, 1.5f, 2, 1000, 2, 7, 311}},
        {{0x1234FF80, 0xFFF6, 5, 0x0007, 0x8000, 0xFFFC, 0xFFFFFFFB, 0, 0, 0, 0},
         {-1.0f, -2, 5, -10, -256.0f, -1, -5, 1, 0, 0}},
        // Signed 32-bit pulse counts; the error wraps as the drive's counters do.
        {{0x7FFF, 0x8000, 1, 0x80FF, 0, 0x0190, 0x80000000, 0, 0, 0, 0},
         {32767.0f / 128, -8192, 1, 0x7FFFFFFF, 0.0f, 100, INT32_MIN, 8292, 255, 0}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ComputeServoStateValues(row.words), row.shown);
    }
    for (const auto& [version, shown] : std::vector<std::pair<uint32_t, bool>>{
             {913, false}, {1000, false}, {1001, true}, {1003, true}, {0, false}}) {
        EXPECT_EQ(ShowsDcBus(version), shown) << version;
    }
    EXPECT_EQ(FormatGeneral(-1.0f) + " " + FormatGeneral(1.5f) + " " + FormatGeneral(0.0f) + " " +
                  FormatGeneral(32767.0f / 128),
              "-1 1.5 0 255.992");
}

// The port monitor's lamps in their index order, with their controls and bits: the
// CN2 inputs (bits 9 to 0 of the input word), the CN2 outputs (bits 4 to 1 of the output
// word) and the CN1 inputs (bits 5 to 0 of the phase word). Each bit lights its lamp
// alone; outputs' bit 0 and the bits beyond the lamps light none.
TEST(PortLamps, EachSignalBitLightsItsLampAlone) {
    const char* labels[kLampCount] = {
        "ServoEn", "AlarmClr", "CCWDis",   "CWDis",  "CCWTLtd", "CWTLtd", "CLE/SC1/ZEROSPD",
        "INH/SC2", "SignInv",  "PulseInv", "SRDY ",  "ALM",     "COIN",   "BRK",
        "PhaseU",  "PhaseV",   "PhaseW",   "PhaseA", "PhaseB",  "PhaseZ"};
    const int ids[kLampCount] = {1206, 1207, 1208, 1209, 1210, 1211, 1212, 1213, 1214, 1215,
                                 1216, 1217, 1218, 1219, 1223, 1224, 1225, 1226, 1227, 1228};
    const int bits[kLampCount] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 4, 3, 2, 1, 5, 4, 3, 2, 1, 0};
    for (std::size_t i = 0; i < kLampCount; ++i) {
        SCOPED_TRACE(labels[i]);
        const int group = i < 10 ? 0 : (i < 14 ? 1 : 2);
        const LampInfo& lamp = kLamps[i];
        EXPECT_EQ(std::make_tuple(std::string(lamp.label), lamp.controlId, lamp.bit,
                                  static_cast<int>(lamp.group), static_cast<int>(lamp.field)),
                  std::make_tuple(labels[i], ids[i], bits[i], group, group));
        uint32_t words[3] = {0, 0, 0};
        words[group] = 1u << bits[i];
        LampStates expected{};
        expected[i] = 1;
        EXPECT_EQ(ComputeLampStates(words[0], words[1], words[2]), expected);
    }
    EXPECT_EQ(ComputeLampStates(0xFC00, 0xFFE1, 0xFFC0), LampStates{});
}

}  // namespace
}  // namespace qx::test
