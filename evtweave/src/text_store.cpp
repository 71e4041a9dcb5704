#include "evtweave/text_store.h"

#include <sys/mman.h>

#include <cstring>
#include <iterator>
#include <utility>

#include "tolvek/text_codec.h"

namespace evtweave {

std::string_view TextArena::Store(std::string_view text) {
  if (text.empty()) return {};
  if (m_used + text.size() > m_capacity) {
    m_capacity = text.size() > kChunkSize ? text.size() : kChunkSize;
    // Not zero-filled: every byte is written before a view shows it.
    m_chunks.push_back(std::unique_ptr<char[]>(new char[m_capacity]));
    m_used = 0;
  }
  char* at = m_chunks.back().get() + m_used;
  std::memcpy(at, text.data(), text.size());
  m_used += text.size();
  return {at, text.size()};
}

void TextArena::Adopt(TextArena&& other) {
  // In front of the chunk being filled, which stays last.
  m_chunks.insert(m_chunks.end() - (m_chunks.empty() ? 0 : 1),
                  std::make_move_iterator(other.m_chunks.begin()),
                  std::make_move_iterator(other.m_chunks.end()));
  other.Clear();
}

void TextArena::Clear() {
  m_chunks.clear();
  m_used = m_capacity = kChunkSize;
}

LogText& LogText::operator=(LogText&& other) noexcept {
  if (this == &other) return *this;
  Release();
  bool owned = other.m_mapping == nullptr;
  size_t skipped = other.m_view.data() ? other.m_view.data() - other.Whole().data() : 0;
  m_owned = std::move(other.m_owned);
  m_mapping = std::exchange(other.m_mapping, nullptr);
  m_mappedSize = std::exchange(other.m_mappedSize, 0);
  // A moved short string changes its address, so an owned view is taken anew.
  m_view = owned ? std::string_view(m_owned).substr(skipped, other.m_view.size()) : other.m_view;
  m_unchecked = std::exchange(other.m_unchecked, false);
  other.m_view = {};
  return *this;
}

std::string_view LogText::Whole() const {
  if (m_mapping) return {static_cast<const char*>(m_mapping), m_mappedSize};
  return m_owned;
}

LogText& LogText::operator=(std::string text) {
  Release();
  m_owned = std::move(text);
  m_view = m_owned;
  return *this;
}

bool LogText::MapFile(int fd, size_t size) {
  Release();
  void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (mapping == MAP_FAILED) return false;
  ::madvise(mapping, size, MADV_SEQUENTIAL);
  m_mapping = mapping;
  m_mappedSize = size;
  m_view = {static_cast<const char*>(mapping), size};
  return true;
}

void LogText::Release() {
  if (m_mapping) ::munmap(m_mapping, m_mappedSize);
  m_mapping = nullptr;
  m_mappedSize = 0;
  m_owned.clear();
  m_owned.shrink_to_fit();
  m_view = {};
  m_unchecked = false;
}

TextInterner::TextInterner() {
  Intern("");
}

uint32_t TextInterner::Intern(std::string_view text) {
  auto [it, added] = m_ids.try_emplace(text, static_cast<uint32_t>(m_texts.size()));
  if (added) m_texts.push_back(text);
  return it->second;
}

uint32_t TextInterner::Find(std::string_view text) const {
  auto it = m_ids.find(text);
  return it == m_ids.end() ? kNone : it->second;
}

void TextInterner::Clear() {
  m_ids.clear();
  m_texts.clear();
  Intern("");
}

namespace {

char32_t LowerCodePoint(char32_t c) {
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower mostly on even/odd, with a shifted run in the middle.
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (c == 0x178) return 0xFF;
    return (c & 1) ? c : c + 1;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

void LowerCaseInto(std::string_view text, std::string& out) {
  // Every letter that changes keeps its length (two-byte sequences stay two bytes), so the
  // result is as long as the text.
  out.resize(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  char* to = out.data();
  size_t n = text.size();
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  for (size_t i = 0; i < n;) {
    // Eight ASCII bytes at a time: the high bit of each byte from 'A' to 'Z' becomes 0x20.
    uint64_t word;
    if (i + 8 <= n && (std::memcpy(&word, p + i, 8), (word & kHigh) == 0)) {
      uint64_t fromA = word + kOnes * (0x80 - 'A');
      uint64_t pastZ = word + kOnes * (0x80 - 'Z' - 1);
      word |= ((fromA & ~pastZ) & kHigh) >> 2;
      std::memcpy(to + i, &word, 8);
      i += 8;
      continue;
    }
    unsigned char c = p[i];
    if (c < 0x80) {
      to[i++] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      continue;
    }
    // Two-byte sequences cover every letter that changes; longer ones are copied.
    if ((c & 0xE0) == 0xC0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
      char32_t cp = LowerCodePoint(((c & 0x1F) << 6) | (p[i + 1] & 0x3F));
      to[i] = static_cast<char>(0xC0 | (cp >> 6));
      to[i + 1] = static_cast<char>(0x80 | (cp & 0x3F));
      i += 2;
      continue;
    }
    to[i++] = static_cast<char>(c);
  }
}

std::string LowerCase(std::string_view text) {
  std::string out;
  LowerCaseInto(text, out);
  return out;
}

std::string AsciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string_view Mid(std::string_view text, size_t start, size_t length) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

std::string_view BeforeFirst(std::string_view text, std::string_view separator) {
  size_t at = text.find(separator);
  return at == std::string_view::npos ? text : text.substr(0, at);
}

std::string_view SplitField(std::string_view text, char separator, size_t index) {
  size_t start = 0;
  for (size_t i = 1; i < index; ++i) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  size_t end = text.find(separator, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace evtweave
