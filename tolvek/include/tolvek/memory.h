// Memory blocks that know their size; allocation that never hands back a null block.
#pragma once

#include <cstdint>
#include <memory>

namespace tolvek {

// Bit for AllocateMemoryWithCheck: leave the new bytes uncleared.
constexpr int kMemoryNoClear = 1;

// Never returns null: an exhausted heap (or a size below 1) ends the program with a report.
void* AllocateMemoryWithCheck(int64_t size, int flags = 0);
// Null for size 0; otherwise a zero-filled block.
void* AllocateMemoryAdvanced(int64_t size);
// Size 0 returns memory unchanged; on failure prints a console line and returns null,
// leaving memory valid.
void* ReAllocateMemoryAdvanced(void* memory, int64_t size);

// The allocated size of a block from these procedures; 0 for null.
int64_t MemorySize(const void* memory);
void FreeMemory(void* memory);

struct MemoryDeleter {
  void operator()(void* p) const { FreeMemory(p); }
};
using MemoryPtr = std::unique_ptr<void, MemoryDeleter>;

}  // namespace tolvek
