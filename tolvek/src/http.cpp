#include "tolvek/http.h"

namespace tolvek::detail {

// No request can be made yet, so there is no shared state to prepare.
void InitDownloader() {}

}  // namespace tolvek::detail
