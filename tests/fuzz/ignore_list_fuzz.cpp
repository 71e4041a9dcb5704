// An ignore list from raw bytes, then names asked about for reading and writing: the list
// part and the names are split at the first NUL byte. Whatever an expression does, a name
// costs its rules a bounded time each.
#include <unistd.h>

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "evtweave/console_output.h"
#include "evtweave/converter.h"
#include "evtweave/ignore_lists.h"

// Processor time of the calling thread.
static int64_t CpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\0');
  std::string_view list = input.substr(0, cut);
  std::string_view names = cut == std::string_view::npos ? "" : input.substr(cut + 1);
  static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                  "/ignore_list_fuzz." + std::to_string(getpid());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(list.data(), 1, list.size(), f);
    std::fclose(f);
  }
  evtweave::SetConsoleSink([](std::string_view) {});
  evtweave::IgnoreList ignores;
  evtweave::LoadIgnoreFile(path, ignores);
  std::remove(path.c_str());
  size_t expressions = 1;
  for (const evtweave::IgnoreEntry& entry : ignores.PatternList) {
    expressions += entry.Kind == evtweave::kIgnoreRegex ? 1 : 0;
  }
  for (size_t start = 0; start <= names.size();) {
    size_t end = names.find('\n', start);
    if (end == std::string_view::npos) end = names.size();
    std::string_view name = names.substr(start, end - start);
    // Twice each: the second answer comes from the remembered ones and must agree.
    for (char access : {'r', 'w'}) {
      int64_t begin = CpuMicroseconds();
      bool first = evtweave::IsIgnored(name, access, ignores);
      // About a millisecond per expression; more under the sanitizers, far less than an
      // expression that is let to backtrack without end. Processor time, so that a busy
      // machine does not count.
      if (CpuMicroseconds() - begin > 100'000 * static_cast<int64_t>(expressions)) {
        __builtin_trap();
      }
      if (evtweave::IsIgnored(name, access, ignores) != first) __builtin_trap();
    }
    start = end + 1;
  }
  return 0;
}
