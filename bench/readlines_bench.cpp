// Reads a text file the way the converter reads its log: the whole file into one memory
// block, then line by line through the memory-string registry. Prints the line count and
// the time taken, for comparison with `wc -l` (see readlines.sh).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "tolvek/file_read.h"
#include "tolvek/memory.h"
#include "tolvek/memory_string.h"

namespace {

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: readlines_bench FILE   (prints the lines read and the seconds taken)\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    Usage(stdout);
    return 0;
  }
  if (argc != 2) {
    Usage(stderr);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  void* block = tolvek::ReadFile2Memory(argv[1]);
  if (!block) {
    std::fprintf(stderr, "readlines_bench: cannot read %s (or it is empty)\n", argv[1]);
    return 1;
  }
  auto loaded = std::chrono::steady_clock::now();
  int64_t lines = 0;
  size_t bytes = 0;  // keeps the lines from being optimised away
  tolvek::OpenMemoryString(block);
  while (!tolvek::EOM(block)) {
    std::string line = tolvek::ReadMemoryString(block);
    bytes += line.size();
    ++lines;
  }
  tolvek::CloseMemoryString(block);
  tolvek::FreeMemory(block);
  auto done = std::chrono::steady_clock::now();
  auto seconds = [](auto a, auto b) { return std::chrono::duration<double>(b - a).count(); };
  std::printf("lines %lld  text bytes %zu  read %.3f s  lines %.3f s  total %.3f s\n",
              static_cast<long long>(lines), bytes, seconds(start, loaded), seconds(loaded, done),
              seconds(start, done));
  return 0;
}
