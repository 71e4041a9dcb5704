#include "tolvek/self_update.h"

namespace tolvek {

// The update mechanism itself arrives with the downloader; until then no run can leave an
// update pending, so there is nothing to complete.
void CompletePendingSelfUpdate() {}

}  // namespace tolvek
