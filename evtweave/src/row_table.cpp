#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "evtweave/converter_state.h"

namespace evtweave {
namespace {

size_t RoomBytes(size_t rows) {
  size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  if (rows > (SIZE_MAX - page) / sizeof(ProcmonRow)) throw std::bad_alloc();
  return (rows * sizeof(ProcmonRow) + page - 1) / page * page;
}

}  // namespace

RowTable::Block& RowTable::Block::operator=(Block&& other) noexcept {
  if (this == &other) return *this;
  Release();
  m_rows = std::exchange(other.m_rows, nullptr);
  m_size = std::exchange(other.m_size, 0);
  m_capacity = std::exchange(other.m_capacity, 0);
  m_mappedBytes = std::exchange(other.m_mappedBytes, 0);
  return *this;
}

void RowTable::Block::Reserve(size_t rows) {
  Release();
  size_t bytes = RoomBytes(std::max<size_t>(rows, 1));
  TakeRoom(::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0),
           bytes);
}

void RowTable::Block::Grow() {
  if (m_rows == nullptr) return Reserve(1024);
  size_t bytes = RoomBytes(m_capacity * 2);
  TakeRoom(::mremap(m_rows, m_mappedBytes, bytes, MREMAP_MAYMOVE), bytes);
}

void RowTable::Block::TakeRoom(void* room, size_t bytes) {
  if (room == MAP_FAILED) throw std::bad_alloc();
  // Large pages: millions of rows would otherwise fault their memory in page by page.
  ::madvise(room, bytes, MADV_HUGEPAGE);
  m_rows = static_cast<ProcmonRow*>(room);
  m_capacity = bytes / sizeof(ProcmonRow);
  m_mappedBytes = bytes;
}

void RowTable::Block::Release() {
  if (m_rows) ::munmap(m_rows, m_mappedBytes);
  m_rows = nullptr;
  m_size = m_capacity = m_mappedBytes = 0;
}

void RowTable::SetBlocks(size_t count) {
  m_blocks.clear();
  m_blocks.resize(count);
  m_firsts.clear();
  m_size = 0;
}

void RowTable::Seal() {
  m_firsts.clear();
  m_size = 0;
  for (const Block& block : m_blocks) {
    m_firsts.push_back(m_size);
    m_size += block.size();
  }
}

ProcmonRow& RowTable::operator[](size_t i) {
  // The last block that begins at or before i and holds rows (empty ones begin there too).
  size_t b = std::upper_bound(m_firsts.begin(), m_firsts.end(), i) - m_firsts.begin() - 1;
  return m_blocks[b].data()[i - m_firsts[b]];
}

const ProcmonRow& RowTable::operator[](size_t i) const {
  return const_cast<RowTable&>(*this)[i];
}

}  // namespace evtweave
