#pragma once

namespace qx {
class ComMapping;
}

namespace qx::ui {

// The COM port choices of "Port Settings...", kept in the user's profile beside the
// recent-file list (group "Ports", keys "COM1" to "COM4"; an automatic port has none).
void LoadComSettings(ComMapping& mapping);
void SaveComSettings(const ComMapping& mapping);

}  // namespace qx::ui
