// An ignore list from raw bytes, then names asked about for reading and writing: the list
// part and the names are split at the first NUL byte. Whatever an expression does, a name
// costs its rules a bounded time each.
#include <unistd.h>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "evtweave/console_output.h"
#include "evtweave/converter.h"
#include "evtweave/ignore_lists.h"

// Time the calling thread spent in its own code (not in the kernel's page handling, which a
// busy machine can stretch at any moment).
static int64_t UserMicroseconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return int64_t{usage.ru_utime.tv_sec} * 1'000'000 + usage.ru_utime.tv_usec;
}

// The list as the converter loads it.
static void LoadList(std::string_view bytes, evtweave::IgnoreList& ignores) {
  static const std::string path = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") +
                                  "/ignore_list_fuzz." + std::to_string(getpid());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  ignores = evtweave::IgnoreList{};
  evtweave::LoadIgnoreFile(path, ignores);
  std::remove(path.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t cut = input.find('\0');
  std::string_view list = input.substr(0, cut);
  std::string_view names = cut == std::string_view::npos ? "" : input.substr(cut + 1);
  evtweave::SetConsoleSink([](std::string_view) {});
  evtweave::IgnoreList ignores;
  LoadList(list, ignores);
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
      // About a millisecond per expression; more under the sanitizers, far less than an
      // expression that is let to backtrack without end. A slow answer is asked again of a
      // fresh list: only one that is slow every time is a finding.
      const int64_t budget = 100'000 * static_cast<int64_t>(expressions);
      int64_t begin = UserMicroseconds();
      bool first = evtweave::IsIgnored(name, access, ignores);
      for (int again = 0; UserMicroseconds() - begin > budget; ++again) {
        if (again == 2) __builtin_trap();
        evtweave::IgnoreList fresh;
        LoadList(list, fresh);
        begin = UserMicroseconds();
        if (evtweave::IsIgnored(name, access, fresh) != first) __builtin_trap();
      }
      if (evtweave::IsIgnored(name, access, ignores) != first) __builtin_trap();
    }
    start = end + 1;
  }
  return 0;
}
