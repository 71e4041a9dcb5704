#include "imageeditor/clipboard_region.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "imageeditor/annotation_render.h"

namespace imageeditor {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// A decimal number and nothing else.
std::optional<double> Number(const std::string& text) {
  if (text.empty() || text.size() > 64) return std::nullopt;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// An integer read up to the first character that is not a digit, as pasting reads it.
std::optional<int64_t> Whole(const std::string& text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  size_t digits = 0;
  while (i + digits < text.size() && std::isdigit(static_cast<unsigned char>(text[i + digits])))
    ++digits;
  if (digits == 0 || digits > 18) return std::nullopt;
  return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace

std::string ShortNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.10f", value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  return text;
}

std::string AnnotationClipboardText(const ClipboardAnnotation& a) {
  std::string text = kAnnotationClipboardMarker;
  text += ShortNumber(a.scale) + "," + ShortNumber(a.width) + "," + ShortNumber(a.height) + "," +
          std::to_string(a.inittype) + "," + std::to_string(a.type) + ";";
  bool first = true;
  for (const auto& [key, value] : a.properties) {
    if (!first) text += '\2';
    first = false;
    text += key + '\1' + value;
  }
  return text;
}

std::optional<ClipboardAnnotation> ParseAnnotationClipboardText(const std::string& text) {
  const std::string marker = kAnnotationClipboardMarker;
  if (text.compare(0, marker.size(), marker) != 0) return std::nullopt;
  if (text.size() > kMaxPastedProperties * (kMaxPastedValue + 256)) return std::nullopt;
  const std::string rest = text.substr(marker.size());
  const size_t semicolon = rest.find(';');
  if (semicolon == std::string::npos) return std::nullopt;
  const std::vector<std::string> fields = Split(rest.substr(0, semicolon), ',');
  if (fields.size() < 5) return std::nullopt;
  ClipboardAnnotation a;
  auto scale = Number(fields[0]), width = Number(fields[1]), height = Number(fields[2]);
  auto inittype = Whole(fields[3]), type = Whole(fields[4]);
  if (!scale || !width || !height || !inittype || !type) return std::nullopt;
  if (*scale <= 0 || *scale > 100 || std::fabs(*width) > kMaxPictureSide ||
      std::fabs(*height) > kMaxPictureSide ||
      std::fabs(*width) * std::fabs(*height) > double(kMaxPicturePixels))
    return std::nullopt;
  a.scale = *scale, a.width = *width, a.height = *height;
  a.inittype = *inittype, a.type = *type;
  const std::string body = rest.substr(semicolon + 1);
  if (body.empty()) return a;
  const std::vector<std::string> pieces = Split(body, '\2');
  if (pieces.size() > kMaxPastedProperties) return std::nullopt;
  for (const std::string& piece : pieces) {
    const size_t one = piece.find('\1');
    std::string key = piece.substr(0, one);
    std::string value = one == std::string::npos ? "" : piece.substr(one + 1);
    if (key.empty() || key.size() > 64 || value.size() > kMaxPastedValue) return std::nullopt;
    a.properties[key] = value;
  }
  return a;
}

PixelRect RegionImageRect(double x, double y, double w, double h, double zoom, int64_t W,
                          int64_t H) {
  if (!(zoom > 0) || !std::isfinite(x + y + w + h)) return {};
  if (w < 0) x += w, w = -w;
  if (h < 0) y += h, h = -h;
  double x1 = double(RoundEven(x / zoom)), y1 = double(RoundEven(y / zoom));
  double x2 = x1 + double(RoundEven(w / zoom)), y2 = y1 + double(RoundEven(h / zoom));
  x1 = std::max(x1, 0.0), y1 = std::max(y1, 0.0);
  x2 = std::min(x2, double(W)), y2 = std::min(y2, double(H));
  if (x2 <= x1 || y2 <= y1) return {};
  return {int64_t(x1), int64_t(y1), int64_t(x2 - x1), int64_t(y2 - y1)};
}

}  // namespace imageeditor
