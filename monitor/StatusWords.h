#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "app/SharedState.h"

namespace qx {

// The eleven status words of one poll, each the plain unsigned value of its reply bytes.
struct StatusWords {
    uint32_t torqueRaw = 0;         // A x 128, signed 16-bit
    uint32_t speedRaw = 0;          // rpm x 4, signed 16-bit
    uint32_t positionFeedback = 0;  // pulses, signed 32-bit
    uint32_t alarmWord = 0;         // high byte non-zero: alarm; low byte: its number
    uint32_t torqueCommandRaw = 0;  // A x 128, signed 16-bit
    uint32_t speedCommandRaw = 0;   // rpm x 4, signed 16-bit
    uint32_t positionCommand = 0;   // pulses, signed 32-bit
    uint32_t phaseBits = 0;         // encoder and hall inputs
    uint32_t inputBits = 0;         // CN2 inputs
    uint32_t outputBits = 0;        // CN2 outputs
    uint32_t dcBusVolts = 0;

    bool operator==(const StatusWords&) const = default;
};

// A status reply holds its last field in bytes 32 and 33, then the checksum.
inline constexpr std::size_t kStatusReplyBytes = 36;

// Decodes the status fields of a reply frame (byte 0 the start byte). The frame must
// hold at least kStatusReplyBytes bytes.
StatusWords DecodeStatusReply(std::span<const uint8_t> frame);

// The record as it stands: each field is read whole, but two fields may come from two
// successive polls.
StatusWords LoadStatusWords(const DriveStatus& status);
void StoreStatusWords(DriveStatus& status, const StatusWords& words);

}  // namespace qx
