// HTTP(S) requests through the downloader program.
#pragma once

namespace tolvek::detail {

// Start-up step (workbench build): prepares the downloader's shared state.
void InitDownloader();

}  // namespace tolvek::detail
