// The converter's two outputs: where they may go and how they are written.
#pragma once

#include "tolvek/file_write.h"

namespace evtweave {

// Both outputs are regenerated on every run, often in folders others can write: a link at
// an output path is replaced, never followed, and the bytes need not wait for the disk.
inline constexpr tolvek::WriteOptions kOutputWriteOptions{.followOwnLinks = false, .sync = false};

// Checks the DOT file and, with lumivex, the details file before either is written: each
// must be a plain file the user may replace (or a new one), and neither may be one of the
// run's inputs or the other output. Prints the error line for each output that fails;
// false (and the run failed) when any did.
bool OutputPathsUsable();

}  // namespace evtweave
