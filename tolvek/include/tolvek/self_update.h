// Completion of a pending self-update at start-up.
#pragma once

namespace tolvek {

// Start-up step: finishes an update that an earlier run prepared. Nothing to do yet when no
// update is pending.
void CompletePendingSelfUpdate();

}  // namespace tolvek
