#pragma once

#include <array>
#include <cstdint>

#include "app/SharedState.h"
#include "link/DriveLink.h"

namespace qx {

// The drive words 0x0200 to 0x03FF, high byte first: what a parameter file holds.
using ParamImage = std::array<uint8_t, kParameterImageBytes>;

// Bytes of the image at its start that a download never changes: the drive's own head
// words 0x0200 to 0x0205, its software version among them.
inline constexpr std::size_t kParamImageHeadBytes = 12;
// Bytes moved per request: 60 words.
inline constexpr std::size_t kParamTransferChunkBytes = 120;
// Store operation codes: 2, 3 and 6 together store the parameters in EEPROM, 4 restores
// the defaults from it.
inline constexpr uint16_t kStoreOpFirst = 2;
inline constexpr uint16_t kStoreOpSecond = 3;
inline constexpr uint16_t kStoreOpCommit = 6;
inline constexpr uint16_t kStoreOpRestoreDefaults = 4;

// Each returns 0 on success, otherwise the status of the first request that failed;
// none retries.

// Reads the drive's parameter image into `image`, in nine requests.
uint32_t UploadParams(DriveLink& link, ParamImage& image);
// Takes the drive's head words into `image`, writes the whole image to the drive,
// unlocks and stores it in EEPROM.
uint32_t DownloadParams(DriveLink& link, ParamImage& image);
// Unlocks and stores the drive's parameters in EEPROM.
uint32_t SaveParamsToEeprom(DriveLink& link);
// Unlocks and restores the drive's default parameters from EEPROM.
uint32_t LoadDefaultParams(DriveLink& link);

}  // namespace qx
