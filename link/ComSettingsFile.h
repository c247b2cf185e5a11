#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "link/PortMap.h"

namespace qx {

// The COM port choices of "Port Settings..." live in the application's settings file,
// beside the recent-file list: group "Ports", keys "COM1" to "COM4". The window writes
// them (through Qt's settings); the command-line tool reads them with this.
inline constexpr const char* kComSettingsGroup = "Ports";
// The profile folder and file name under the user's configuration folder.
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "Quendrix";
// A settings file larger than this is no file the window wrote.
inline constexpr std::uintmax_t kMaxSettingsFileBytes = 1 << 20;

// "COM1" to "COM4".
std::string ComSettingsKey(int portNumber);

// $XDG_CONFIG_HOME (or ~/.config)/Local AppWizard-Generated Applications/Quendrix.conf;
// empty when neither variable leads anywhere.
std::filesystem::path ComSettingsPath();

// The stored choice of each COM port, "" where none (or none that IsValidComChoice
// takes) is stored. A missing, oversized or irregular file (a FIFO, a device) stores
// nothing.
std::array<std::string, PortMap::kPortCount> ReadStoredComChoices(
    const std::filesystem::path& file);

}  // namespace qx
