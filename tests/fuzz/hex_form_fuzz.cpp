// Hex forms: any text survives both flavours of HexifyString and UnHexifyString, any bytes
// survive HexifyData and UnHexifyData, and any digits decode without a fault.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "tolvek/hex_form.h"
#include "tolvek/memory.h"
#include "tolvek/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // Arbitrary digits (odd counts, letters past F) must decode without reading out of bounds.
  tolvek::MemoryPtr decoded(tolvek::UnHexifyData(input));
  (void)tolvek::UnHexifyString(input);

  // Group names never hold NUL; an ANSI form that begins with two NUL bytes would read as
  // the Unicode flavour's "0000" mark.
  std::string text = tolvek::SanitizeUtf8(input);
  std::erase(text, '\0');
  if (tolvek::UnHexifyString(tolvek::HexifyString(text, true)) != text) __builtin_trap();
  // The ANSI flavour keeps what the code page can hold.
  std::string ansi = tolvek::AnsiToUtf8(tolvek::Utf8ToAnsi(text));
  if (tolvek::UnHexifyString(tolvek::HexifyString(text, false)) != ansi) __builtin_trap();

  if (size > 0) {
    std::string hex = tolvek::HexifyData(data, static_cast<int64_t>(size));
    tolvek::MemoryPtr bytes(tolvek::UnHexifyData(hex));
    if (!bytes || std::memcmp(bytes.get(), data, size) != 0) __builtin_trap();
  }
  return 0;
}
