#pragma once

#include <optional>
#include <string>

#include "params/ParamTransfer.h"

namespace qx {

// A parameter file is the image and nothing else: exactly 1024 bytes.
inline constexpr std::size_t kParamFileBytes = kParameterImageBytes;

// Reads a parameter file into `image`. Returns the text to show when the file cannot
// be read or is anything but a regular file of exactly 1024 bytes (a FIFO or a device is
// refused without being opened, so nothing ever waits on it); `image` is then left as it
// was.
std::optional<std::string> ReadParamFile(const std::string& path, ParamImage& image);

// Writes `image` to `path`. A regular file (or a new one) is replaced whole or not at
// all: a temporary file of a unique name, created exclusively in the same folder, is
// synced and renamed over it, keeping the old file's permissions. A symbolic link's
// target is replaced and the link kept; a device or FIFO is written to as it stands; a
// writable file in a folder that takes no new names is written in place and synced.
// Returns the text to show on failure, naming `path`.
std::optional<std::string> WriteParamFile(const std::string& path, const ParamImage& image);

}  // namespace qx
