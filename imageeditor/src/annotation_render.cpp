#include "imageeditor/annotation_render.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "imageeditor/image_editor.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"

namespace imageeditor {

namespace {

// Fonts by point size, loaded once per run of the program: every repaint renders every
// object, and loading a font each time would dominate.
struct RenderState {
  std::map<int, int> fonts;
};
RenderState& Render() {
  static RenderState state;
  return state;
}

int TextFont(int points) {
  auto& fonts = Render().fonts;
  auto it = fonts.find(points);
  if (it != fonts.end() && platform::IsFont(it->second)) return it->second;
  // The annotation font: Verdana's metric stand-in on this system.
  int font = platform::LoadFont(platform::kNewNumber, "DejaVu Sans", points);
  fonts[points] = font;
  return font;
}

std::string TrimSpaces(const std::string& text) {
  size_t a = text.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return text.substr(a, text.find_last_not_of(' ') - a + 1);
}
std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsAsciiWord(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
// Length of the UTF-8 sequence at i (1 for a broken one).
size_t CharLength(const std::string& s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  return i + n <= s.size() ? n : 1;
}
// A word character of the tokens: ASCII letters, digits, "_" and the German umlauts and ß.
size_t WordCharAt(const std::string& s, size_t i) {
  if (IsAsciiWord(static_cast<unsigned char>(s[i]))) return 1;
  static const char* const kExtra[] = {"ä", "ö", "ü", "Ä", "Ö", "Ü", "ß"};
  for (const char* e : kExtra)
    if (s.compare(i, 2, e) == 0) return 2;
  return 0;
}

std::string RenderKey(const AnnotationObject& o, double zoom) {
  std::string key = std::to_string(o.type) + "," + std::to_string(o.width) + "," +
                    std::to_string(o.height) + "," + std::to_string(zoom);
  for (const auto& [k, v] : o.properties) key += '\1' + k + '\2' + v;
  return key;
}

}  // namespace

int64_t RoundEven(double value) {
  return int64_t(std::nearbyint(value));
}

uint32_t ShadowFilter(int, int, uint32_t source, uint32_t) {
  return source ? platform::Rgba(0, 0, 0, 200) : 0;
}

uint32_t HighlighterFilter(int, int, uint32_t source, uint32_t target) {
  using namespace platform;
  uint32_t mean = (Red(target) + Green(target) + Blue(target)) / 3;
  return mean <= 240 ? target : source;
}

std::vector<std::string> TextTokens(const std::string& text) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (true) {
    size_t start = i;
    while (i < text.size()) {
      size_t n = WordCharAt(text, i);
      if (!n) break;
      i += n;
    }
    if (i < text.size() && text[i] != '\n') i += CharLength(text, i);
    tokens.push_back(text.substr(start, i - start));
    if (i == start) {
      // An empty match: the search goes on one character further.
      if (i >= text.size()) break;
      i += CharLength(text, i);
    }
  }
  return tokens;
}

std::vector<std::string> WrapTextLines(const std::vector<std::string>& tokens, int wrapWidth,
                                       const std::function<int(const std::string&)>& width) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t t = 0; t < tokens.size(); ++t) {
    const std::string& token = tokens[t];
    if (token.empty()) {
      if (t + 1 == tokens.size()) continue;
      lines.push_back(current);
      current.clear();
      continue;
    }
    const std::string bare = TrimSpaces(token);
    if (current.empty() && width(bare) > wrapWidth) {
      lines.push_back(bare);
    } else if (width(current + bare) > wrapWidth) {
      lines.push_back(TrimRight(current));
      current = token;
    } else {
      current += token;
    }
  }
  lines.push_back(TrimRight(current));
  return lines;
}

void RenderAnnotation(AnnotationObject& o, double zoom) {
  TOLVEK_TRACE("_EditImageRequester_RenderAnnotation");
  using namespace platform;
  o.width = std::llabs(o.width);
  o.height = std::llabs(o.height);
  const std::string key = RenderKey(o, zoom);
  if (o.image && IsImage(o.image) && o.shadowImage && IsImage(o.shadowImage) &&
      key == o.renderedFrom)
    return;
  o.FreeImages();
  if (o.width == 0 || o.height == 0) return;
  // Larger objects than any picture the editor opens are not drawn.
  if (o.width > kMaxPictureSide || o.height > kMaxPictureSide ||
      o.width * o.height > kMaxPicturePixels)
    return;
  const int w = int(o.width), h = int(o.height);
  // Lengths far beyond the object draw nothing more than lengths at its edges would, but
  // drawing them costs time by their length, and their products leave int.
  const double reach = 4.0 * std::max(w, h);
  auto bounded = [reach](double v) {
    return std::isnan(v) ? 0 : int(std::clamp(v, -reach, reach));
  };
  auto length = [&](const char* key) { return double(ReadInteger(o.Property(key))) * zoom; };
  const int font = TextFont(int(std::ceil(12 * zoom)));
  o.image = CreateImage(kNewNumber, w, h, 0);
  o.shadowImage = CreateImage(kNewNumber, w, h, 0);
  if (!o.image || !o.shadowImage) return o.FreeImages();

  uint32_t fill = ReadColour(o.Property("FillColor")), line = ReadColour(o.Property("LineColor"));
  const int LW = bounded(std::ceil(length("LineThickness")));
  int bodyX = 0, bodyY = 0, bodyW = w, bodyH = h;

  const std::string arrow = o.Property("Arrow");
  const bool vertical = arrow == "Top" || arrow == "Bottom";
  const bool hasArrow = arrow == "Left" || arrow == "Right" || vertical;
  const bool atStart = arrow == "Left" || arrow == "Top";
  int P = 0, HH = 0, HW = 0, SW = 0, L = 0;
  if (hasArrow) {
    const int S = vertical ? w : h;
    const double headWidth = std::clamp(length("ArrowHeadWidth"), -reach, reach);
    P = bounded(std::nearbyint(S * std::strtod(o.Property("ArrowPos").c_str(), nullptr) / 100));
    const int m = int(RoundEven(headWidth / 2)), M = int(RoundEven(S - headWidth / 2));
    if (P < m) {
      P = m;
    } else if (P > M) {
      P = M;
    }
    HH = bounded(std::nearbyint(length("ArrowHeadHeight")));
    HW = bounded(std::nearbyint(headWidth));
    SW = bounded(std::nearbyint(length("ArrowBodyWidth")));
    L = bounded(std::nearbyint(length("ArrowLength")));
    if (arrow == "Left") bodyX = L, bodyW = w - L;
    if (arrow == "Right") bodyW = w - L;
    if (arrow == "Top") bodyY = L, bodyH = h - L;
    if (arrow == "Bottom") bodyH = h - L;
  }

  StartDrawing(ImageOutput(o.image));
  DrawingMode(kDrawAllChannels);
  Box(0, 0, w, h, 0);
  const int64_t radius = o.type == kShapeBox ? ReadInteger(o.Property("CornerRadius")) : 0;
  const int r = bounded(std::ceil(double(radius) * zoom));
  const bool body = bodyW > 0 && bodyH > 0;
  if (body && o.type == kShapeBox && radius == 0) {
    Box(bodyX, bodyY, bodyW, bodyH, line);
  } else if (body && o.type == kShapeBox) {
    RoundBox(bodyX, bodyY, bodyW, bodyH, r, r, line);
  } else if (body && o.type == kShapeEllipse) {
    Ellipse(bodyX + bodyW / 2, bodyY + bodyH / 2, bodyW / 2, bodyH / 2, line);
  }

  if (hasArrow) {
    const uint32_t F = o.Property("ArrowFill") == "Line" ? line : fill;
    // Drawn as for a pointer on the left or right; a vertical one exchanges x and y.
    auto lineAt = [&](int a1, int b1, int a2, int b2, uint32_t c) {
      vertical ? LineXY(b1, a1, b2, a2, c) : LineXY(a1, b1, a2, b2, c);
    };
    auto boxAt = [&](int a, int b, int wa, int hb, uint32_t c) {
      if (wa <= 0 || hb <= 0) return;
      vertical ? Box(b, a, hb, wa, c) : Box(a, b, wa, hb, c);
    };
    auto fillAt = [&](int a, int b, uint32_t c) {
      vertical ? FillArea(b, a, c, c) : FillArea(a, b, c, c);
    };
    const int T = (vertical ? h : w) - 1;
    const int cx = vertical ? bodyY + bodyH / 2 : bodyX + bodyW / 2;
    const int B = atStart ? HH : T - HH;
    const int tip = atStart ? 0 : T;
    auto head = [&](uint32_t c) {
      lineAt(tip, P, B, P - HW / 2, c);
      lineAt(tip, P, B, P + HW / 2, c);
      lineAt(B, P - HW / 2, B, P - SW / 2, c);
      lineAt(B, P + HW / 2, B, P + SW / 2, c);
    };
    head(F);
    lineAt(B, P - SW / 2, cx, P - SW / 2, F);
    lineAt(B, P + SW / 2, cx, P + SW / 2, F);
    lineAt(cx, P - SW / 2, cx, P + SW / 2, F);
    fillAt(atStart ? L / 2 : T - L / 2, P, F);
    head(line);
    if (atStart) {
      boxAt(HH - LW + 1, P - SW / 2, cx - HH - LW + 1, LW, line);
      boxAt(HH - LW + 1, P + SW / 2 - LW + 1, cx - HH - LW + 1, LW, line);
      lineAt(LW, P, B, P - HW / 2 + LW, line);
      lineAt(LW, P, B, P + HW / 2 - LW, line);
      fillAt(2, P, line);
    } else {
      boxAt(cx, P - SW / 2, cx + L - HH + LW - 1, LW, line);
      boxAt(cx, P + SW / 2 - LW + 1, cx + L - HH + LW - 1, LW, line);
      lineAt(T - LW, P, B, P - HW / 2 + LW, line);
      lineAt(T - LW, P, B, P + HW / 2 - LW, line);
      fillAt(T - 1, P, line);
    }
    const int band = atStart ? HH - LW + 1 : T - HH;
    boxAt(band, P - HW / 2 + LW + 1, LW, SW / 2, line);
    boxAt(band, P + SW / 2, LW, SW / 2, line);
  }

  fill = ReadColour(o.Property("FillColor"));
  line = ReadColour(o.Property("LineColor"));
  if (o.type == kShapeBox && bodyW - 2 * LW > 0 && bodyH - 2 * LW > 0) {
    if (radius == 0) {
      Box(bodyX + LW, bodyY + LW, bodyW - 2 * LW, bodyH - 2 * LW, fill);
    } else {
      RoundBox(bodyX + LW, bodyY + LW, bodyW - 2 * LW, bodyH - 2 * LW, r, r, fill);
    }
  } else if (o.type == kShapeEllipse && bodyW / 2 - LW >= 0 && bodyH / 2 - LW >= 0) {
    Ellipse(bodyX + bodyW / 2, bodyY + bodyH / 2, bodyW / 2 - LW, bodyH / 2 - LW, fill);
  }

  std::string text;
  for (char c : o.Property("Text"))
    if (c != '\r') text += c;
  while (!text.empty() && text.front() == '\n') text.erase(0, 1);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && font) {
    DrawingFont(font);
    DrawingMode(kDrawAlphaBlend);
    const double margin = LW + 10 * zoom;
    const int wrap = int(RoundEven(bodyW - 2 * margin));
    const auto lines =
        WrapTextLines(TextTokens(text), wrap, [](const std::string& s) { return TextWidth(s); });
    const int lineH = TextHeight("Äg_"), n = int(lines.size());
    const int block = n * lineH + (n - 1) * (lineH / 10);
    const std::string alignV = o.Property("TextAlignV"), alignH = o.Property("TextAlignH");
    int top = alignV == "Top"      ? int(RoundEven(margin))
              : alignV == "Middle" ? bodyH / 2 - block / 2
              : alignV == "Bottom" ? int(RoundEven(bodyH - LW - 10 * zoom - block))
                                   : 0;
    top += bodyY;
    const uint32_t colour = ReadColour(o.Property("FontColor"));
    for (const std::string& l : lines) {
      const int lw = TextWidth(l);
      int left = alignH == "Left"     ? int(RoundEven(margin))
                 : alignH == "Right"  ? int(RoundEven(bodyW - LW - 10 * zoom - lw))
                 : alignH == "Center" ? bodyW / 2 - lw / 2
                                      : 0;
      DrawText(bodyX + left, top, l, colour);
      top += lineH + lineH / 10;
    }
  }
  StopDrawing();

  StartDrawing(ImageOutput(o.shadowImage));
  DrawingMode(kDrawCustomFilter);
  CustomFilterCallback(ShadowFilter);
  DrawImage(o.image, 0, 0);
  StopDrawing();
  o.renderedFrom = key;
}

}  // namespace imageeditor
