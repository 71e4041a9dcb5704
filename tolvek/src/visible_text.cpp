#include "tolvek/visible_text.h"

#include <cstdint>

namespace tolvek {
namespace {

// The code point a hidden character at text[i] stands for, and its length in bytes; 0 when
// text[i] starts no hidden character.
size_t HiddenAt(std::string_view text, size_t i, uint32_t& code) {
  const auto byte = [&](size_t k) {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  const unsigned char b = byte(0);
  if (b < 0x20 || b == 0x7F) {
    code = b;
    return 1;
  }
  if (b == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {  // C1 controls
    code = byte(1);
    return 2;
  }
  if (b == 0xD8 && byte(1) == 0x9C) {  // Arabic letter mark
    code = 0x061C;
    return 2;
  }
  if (b == 0xE2 && (byte(1) == 0x80 || byte(1) == 0x81)) {
    code = 0x2000 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    const bool marks = code == 0x200E || code == 0x200F;
    const bool embeddings = code >= 0x202A && code <= 0x202E;
    const bool isolates = code >= 0x2066 && code <= 0x2069;
    if ((byte(2) & 0xC0) == 0x80 && (marks || embeddings || isolates)) return 3;
  }
  return 0;
}

bool MayHide(unsigned char b) {
  return b < 0x20 || b == 0x7F || b == 0xC2 || b == 0xD8 || b == 0xE2;
}

}  // namespace

void AppendVisibleText(std::string& out, std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  size_t plain = 0;  // start of the run not yet appended
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    size_t length = MayHide(static_cast<unsigned char>(text[i])) ? HiddenAt(text, i, code) : 0;
    if (length == 0) {
      ++i;
      continue;
    }
    out.append(text, plain, i - plain);
    out += "_0x";
    for (int shift = code > 0xFF ? 12 : 4; shift >= 0; shift -= 4)
      out += kHex[(code >> shift) & 0xF];
    out += '_';
    i += length;
    plain = i;
  }
  out.append(text, plain, std::string_view::npos);
}

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendVisibleText(out, text);
  return out;
}

}  // namespace tolvek
