#include "tolvek/memory.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "tolvek/callstack.h"

namespace tolvek {
namespace {

// Each block carries its size in a header in front of the bytes the caller sees.
constexpr size_t kHeader = 16;

struct alignas(16) BlockHeader {
  int64_t size;
  int64_t reserved;
};
static_assert(sizeof(BlockHeader) == kHeader);

BlockHeader* HeaderOf(const void* memory) {
  return reinterpret_cast<BlockHeader*>(static_cast<char*>(const_cast<void*>(memory)) - kHeader);
}

void* Allocate(int64_t size, bool clear) {
  if (size < 1 || static_cast<uint64_t>(size) > SIZE_MAX - kHeader) return nullptr;
  size_t total = static_cast<size_t>(size) + kHeader;
  void* raw = clear ? std::calloc(1, total) : std::malloc(total);
  if (!raw) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = size;
  header->reserved = 0;
  return static_cast<char*>(raw) + kHeader;
}

// Decimal digits of a signed number into buf without allocating; returns the length.
size_t FormatInt(int64_t value, char* buf) {
  char tmp[24];
  size_t n = 0;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  size_t len = 0;
  if (value < 0) buf[len++] = '-';
  while (n) buf[len++] = tmp[--n];
  return len;
}

}  // namespace

void* AllocateMemoryWithCheck(int64_t size, int flags) {
  TOLVEK_TRACE("AllocateMemoryWithCheck");
  void* block = Allocate(size, (flags & kMemoryNoClear) == 0);
  if (!block) {
    // No allocation on this path: the heap may be gone.
    static const char kHead[] = "Not enough memory available to allocate ";
    static const char kTail[] = " bytes!";
    char text[96];
    size_t len = sizeof(kHead) - 1;
    std::memcpy(text, kHead, len);
    len += FormatInt(size, text + len);
    std::memcpy(text + len, kTail, sizeof(kTail) - 1);
    len += sizeof(kTail) - 1;
    detail::ReportError(std::string_view(text, len), true);
  }
  return block;
}

void* AllocateMemoryAdvanced(int64_t size) {
  TOLVEK_TRACE("AllocateMemoryAdvanced");
  if (size == 0) return nullptr;
  return AllocateMemoryWithCheck(size, 0);
}

void* ReAllocateMemoryAdvanced(void* memory, int64_t size) {
  TOLVEK_TRACE("ReAllocateMemoryAdvanced");
  if (size == 0) return memory;
  if (!memory) {
    void* block = Allocate(size, true);
    if (!block) {
      static const char kLine[] = "Error! Not enough memory!\r\n";
      (void)!write(STDOUT_FILENO, kLine, sizeof(kLine) - 1);
    }
    return block;
  }
  int64_t old = HeaderOf(memory)->size;
  void* raw = nullptr;
  if (size > 0 && static_cast<uint64_t>(size) <= SIZE_MAX - kHeader) {
    raw = std::realloc(HeaderOf(memory), static_cast<size_t>(size) + kHeader);
  }
  if (!raw) {
    static const char kLine[] = "Error! Not enough memory!\r\n";
    (void)!write(STDOUT_FILENO, kLine, sizeof(kLine) - 1);
    return nullptr;
  }
  auto* header = static_cast<BlockHeader*>(raw);
  header->size = size;
  char* data = static_cast<char*>(raw) + kHeader;
  if (size > old) std::memset(data + old, 0, static_cast<size_t>(size - old));
  return data;
}

int64_t MemorySize(const void* memory) {
  return memory ? HeaderOf(memory)->size : 0;
}

void FreeMemory(void* memory) {
  if (memory) std::free(HeaderOf(memory));
}

}  // namespace tolvek
