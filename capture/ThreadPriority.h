#pragma once

namespace qx {

// Raises the process and the calling thread above normal where the platform allows it
// without privileges; does nothing where it does not.
void RaiseCapturePriority();

}  // namespace qx
