#include "gui/colour_font_strings.h"

#include <array>
#include <cctype>
#include <map>

#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace gui {

namespace {

struct NamedColour {
  const char* name;
  uint32_t r, g, b;
};
constexpr std::array<NamedColour, 17> kColourNames = {{
    {"black", 0, 0, 0},
    {"gray", 128, 128, 128},
    {"lightgray", 211, 211, 211},
    {"maroon", 128, 0, 0},
    {"red", 255, 0, 0},
    {"green", 0, 128, 0},
    {"lime", 0, 255, 0},
    {"olive", 128, 128, 0},
    {"yellow", 255, 255, 0},
    {"navy", 0, 0, 128},
    {"blue", 0, 0, 255},
    {"purple", 128, 0, 128},
    {"fuchsia", 255, 0, 255},
    {"teal", 0, 128, 128},
    {"aqua", 0, 255, 255},
    {"silver", 192, 192, 192},
    {"white", 255, 255, 255},
}};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A group of up to two characters read from its leading hexadecimal digits.
uint32_t HexGroup(std::string_view text, size_t at) {
  uint32_t value = 0;
  for (size_t i = at; i < at + 2 && i < text.size(); ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + uint32_t(digit);
  }
  return value;
}

// Replaces every occurrence of word, left to right, without rescanning what it produced.
bool RemoveWord(std::string& text, const std::string& word) {
  bool found = false;
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(word, pos);
    if (hit == std::string::npos) break;
    found = true;
    out.append(text, pos, hit - pos);
    out += ' ';
    pos = hit + word.size();
  }
  if (!found) return false;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
  return true;
}

struct FontCache {
  std::map<std::string, int> fonts;
};
FontCache& Cache() {
  static FontCache cache;
  return cache;
}

}  // namespace

uint32_t GetRgbFromString(std::string_view text) {
  TOLVEK_TRACE("GetRgbFromString");
  std::string lower = Lower(text);
  for (const auto& colour : kColourNames)
    if (lower == colour.name) return platform::Rgb(colour.r, colour.g, colour.b);
  if (lower.empty() || lower[0] != '#') return 0;
  std::string_view hex = std::string_view(lower).substr(1);
  return platform::Rgb(HexGroup(hex, 0), HexGroup(hex, 2), HexGroup(hex, 4));
}

namespace detail {

std::string NormaliseFontDescription(std::string_view description) {
  size_t first = description.find_first_not_of(' ');
  size_t last = description.find_last_not_of(' ');
  std::string_view trimmed = first == std::string_view::npos
                                 ? std::string_view()
                                 : description.substr(first, last - first + 1);
  return " " + Lower(trimmed) + " ";
}

FontSpec ParseFontDescription(std::string_view description) {
  std::string text = NormaliseFontDescription(description);
  FontSpec spec;
  spec.bold = RemoveWord(text, " bold ");
  spec.italic = RemoveWord(text, " italic ");
  spec.underline = RemoveWord(text, " underline ");
  spec.strikeOut = RemoveWord(text, " strikeout ");
  spec.strikeOut = RemoveWord(text, " strikethrough ") || spec.strikeOut;

  // Every digit run sets the size (the last one wins); only whole-word runs leave the face.
  std::vector<std::string> runs;
  for (size_t i = 0; i < text.size();) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    runs.push_back(text.substr(i, end - i));
    i = end;
  }
  for (const auto& run : runs) {
    long long value = 0;
    for (char c : run) value = std::min<long long>(value * 10 + (c - '0'), 100000);
    spec.points = int(value);
    RemoveWord(text, " " + run + " ");
  }
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  spec.face = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  return spec;
}

void ResetFontCache() {
  for (auto& [key, font] : Cache().fonts) platform::FreeFont(font);
  Cache().fonts.clear();
}

}  // namespace detail

int GetFontFromString(std::string_view description) {
  TOLVEK_TRACE("GetFontFromString");
  std::string key = detail::NormaliseFontDescription(description);
  auto& fonts = Cache().fonts;
  if (auto it = fonts.find(key); it != fonts.end()) return it->second;
  detail::FontSpec spec = detail::ParseFontDescription(description);
  uint32_t style = 0;
  if (spec.bold) style |= platform::kFontBold;
  if (spec.italic) style |= platform::kFontItalic;
  if (spec.underline) style |= platform::kFontUnderline;
  if (spec.strikeOut) style |= platform::kFontStrikeOut;
  int font = platform::LoadFont(platform::kNewNumber, spec.face, spec.points, style);
  if (!font) return -1;
  fonts[key] = font;
  return font;
}

}  // namespace gui
