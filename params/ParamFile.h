#pragma once

#include <optional>
#include <string>

#include "params/ParamTransfer.h"

namespace qx {

// A parameter file is the image and nothing else: exactly 1024 bytes.
inline constexpr std::size_t kParamFileBytes = kParameterImageBytes;

// Reads a parameter file into `image`. Returns the text to show when the file cannot
// be read or is not exactly 1024 bytes long; `image` is then left as it was.
std::optional<std::string> ReadParamFile(const std::string& path, ParamImage& image);

// Writes `image` to a file beside `path` and renames it over `path`, so an existing
// file is replaced whole or not at all. Returns the text to show on failure.
std::optional<std::string> WriteParamFile(const std::string& path, const ParamImage& image);

}  // namespace qx
