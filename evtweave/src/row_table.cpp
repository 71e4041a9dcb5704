#include <sys/mman.h>
#include <unistd.h>

#include <new>
#include <utility>

#include "evtweave/converter_state.h"

namespace evtweave {

RowTable& RowTable::operator=(RowTable&& other) noexcept {
  if (this == &other) return *this;
  Release();
  m_rows = std::exchange(other.m_rows, nullptr);
  m_size = std::exchange(other.m_size, 0);
  m_capacity = std::exchange(other.m_capacity, 0);
  m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
  return *this;
}

void RowTable::Reserve(size_t capacity) {
  Release();
  if (capacity == 0) return;
  size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  if (capacity > (SIZE_MAX - page) / sizeof(ProcmonRow)) throw std::bad_alloc();
  size_t bytes = (capacity * sizeof(ProcmonRow) + page - 1) / page * page;
  void* room = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (room == MAP_FAILED) throw std::bad_alloc();
  // Large pages: millions of rows would otherwise fault their memory in page by page.
  ::madvise(room, bytes, MADV_HUGEPAGE);
  m_rows = static_cast<ProcmonRow*>(room);
  m_capacity = capacity;
  m_mappedBytes = bytes;
}

void RowTable::Release() {
  if (m_rows) ::munmap(m_rows, m_mappedBytes);
  m_rows = nullptr;
  m_size = m_capacity = m_mappedBytes = 0;
}

}  // namespace evtweave
