#pragma once

namespace qx::ui {

// Shows the wait cursor over the whole application while the user-interface thread is
// blocked in an exchange with the drive. Message boxes raised meanwhile show the arrow.
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace qx::ui
