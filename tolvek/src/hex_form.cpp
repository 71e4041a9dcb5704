#include "tolvek/hex_form.h"

#include <cstring>

#include "tolvek/callstack.h"
#include "tolvek/memory.h"
#include "tolvek/preferences.h"
#include "tolvek/text_codec.h"

namespace tolvek {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, const unsigned char* bytes, size_t size) {
  out.reserve(out.size() + size * 2);
  for (size_t i = 0; i < size; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
}

// Below "A" a digit counts from "0", from "A" on from "A" - 10; anything else follows the
// same arithmetic, so stored forms written by older programs decode exactly as they did.
int DigitValue(char c) {
  int code = static_cast<unsigned char>(c);
  return code < 65 ? code - 48 : code - 55;
}

std::string DecodePairs(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int value = DigitValue(hex[i]) * 16 + DigitValue(hex[i + 1]);
    bytes.push_back(static_cast<char>(value & 0xFF));
  }
  return bytes;
}

}  // namespace

std::string HexifyData(const void* memory, int64_t size) {
  TOLVEK_TRACE("HexifyData");
  if (!memory) return "";
  if (size < 0) size = MemorySize(memory);
  std::string out;
  AppendHex(out, static_cast<const unsigned char*>(memory), static_cast<size_t>(size));
  return out;
}

std::string HexifyString(std::string_view text, bool unicode) {
  TOLVEK_TRACE("HexifyString");
  std::string out;
  if (unicode) {
    out = "0000";
    std::string units = Utf8ToUtf16Le(text);
    AppendHex(out, reinterpret_cast<const unsigned char*>(units.data()), units.size());
    return out;
  }
  std::string ansi = Utf8ToAnsi(text);
  AppendHex(out, reinterpret_cast<const unsigned char*>(ansi.data()), ansi.size());
  return out;
}

void* UnHexifyData(std::string_view hex) {
  TOLVEK_TRACE("UnHexifyData");
  if (hex.size() < 2) return nullptr;
  std::string bytes = DecodePairs(hex);
  void* block = AllocateMemoryWithCheck(static_cast<int64_t>(bytes.size()));
  std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

std::string UnHexifyString(std::string_view hex) {
  TOLVEK_TRACE("UnHexifyString");
  if (hex.substr(0, 4) == "0000") {
    hex.remove_prefix(4);
    if (hex.size() < 2) return "";
    std::string bytes = DecodePairs(hex);
    return Utf16LeToUtf8(bytes.data(), bytes.size() / 2);
  }
  if (hex.size() < 2) return "";
  std::string bytes = DecodePairs(hex);
  bytes.resize(std::strlen(bytes.c_str()));
  return AnsiToUtf8(bytes);
}

bool PreferenceGroupHexified(std::string_view name) {
  TOLVEK_TRACE("PreferenceGroupHexified");
  return PreferenceGroup(HexifyString(name, true));
}

std::string PreferenceGroupNameHexified() {
  TOLVEK_TRACE("PreferenceGroupNameHexified");
  return UnHexifyString(PreferenceGroupName());
}

}  // namespace tolvek
