// The launcher scan as the launcher button runs it: the whole log read into memory, then
// scanned record by record. Prints the seconds of each beside those of counting the log's
// lines with the same reader, so the scan's own cost shows as a ratio.
//   launcher_scan_bench LOG.csv
#include <chrono>
#include <cstdio>

#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"
#include "workbench/launcher_scan.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: launcher_scan_bench LOG.csv\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  tolvek::MemoryPtr block(tolvek::ReadFile2Memory(argv[1]));
  if (!block) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  double read = Since(start);
  const auto size = static_cast<size_t>(tolvek::MemorySize(block.get()));
  std::string_view log(static_cast<const char*>(block.get()), size);

  start = std::chrono::steady_clock::now();
  int64_t lines = 0;
  tolvek::OpenMemoryString(block.get(), static_cast<int64_t>(size));
  while (!tolvek::EOM(block.get())) {
    tolvek::ReadMemoryString(block.get());
    ++lines;
  }
  tolvek::CloseMemoryString(block.get());
  double count = Since(start);

  start = std::chrono::steady_clock::now();
  int64_t updates = 0;
  workbench::LauncherScan scan = workbench::ScanLaunchers(log, [&](int64_t, int64_t) {
    ++updates;
    return true;
  });
  double scanned = Since(start);
  std::printf(
      "%zu bytes, %lld lines: read %.2f s, line count %.2f s, scan %.2f s (%.2fx the "
      "line count, %.0f MB/s), %zu started + %zu running rows, %lld progress updates\n",
      size, static_cast<long long>(lines), read, count, scanned, scanned / count,
      static_cast<double>(size) / 1e6 / scanned, scan.started.size(), scan.running.size(),
      static_cast<long long>(updates));
  return scan.headerOk ? 0 : 1;
}
