#pragma once

namespace qx::ui {

// The application's name, as window titles and the framework's own prompts show it.
inline constexpr const char* kAppTitle = "Quendrix";
inline constexpr const char* kVersionText = "Quendrix Version 2.2.913";
// The profile the recent-file list is kept under, and nothing else is.
inline constexpr const char* kProfileOrganisation = "Local AppWizard-Generated Applications";
inline constexpr int kRecentFileCount = 4;

}  // namespace qx::ui
