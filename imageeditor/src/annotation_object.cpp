#include "imageeditor/annotation_object.h"

#include "platform/window_system.h"

namespace imageeditor {

namespace {

struct KindRow {
  int64_t kind;
  const char* menuText;
  const char* listName;
  int64_t shape;
};
constexpr KindRow kKinds[] = {
    {kKindRectangle, "Rectangle", "Rectangle", kShapeBox},
    {kKindEllipse, "Ellipse", "Ellipse", kShapeEllipse},
    {kKindRoundedRectangle, "Rounded Rectangle", "RoundedRectangle", kShapeBox},
    {kKindBalloon, "Balloon", "Balloon", kShapeBox},
    {kKindText, "Text", "Text", kShapeBox},
    {kKindNote, "Note", "Note", kShapeBox},
    {kKindHighlighter, "Highlighter", "Highlighter", kShapeBox},
};

const KindRow* FindKind(int64_t kind) {
  for (const KindRow& row : kKinds)
    if (row.kind == kind) return &row;
  return nullptr;
}

std::string Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return ColourText(platform::Rgba(r, g, b, a));
}

}  // namespace

bool IsAnnotationKind(int64_t kind) {
  return FindKind(kind) != nullptr;
}
std::string KindMenuText(int64_t kind) {
  const KindRow* row = FindKind(kind);
  return row ? row->menuText : "";
}
std::string KindListName(int64_t kind) {
  const KindRow* row = FindKind(kind);
  return row ? row->listName : "";
}
int64_t ShapeOfKind(int64_t kind) {
  const KindRow* row = FindKind(kind);
  return row ? row->shape : 0;
}

AnnotationObject::~AnnotationObject() {
  FreeImages();
}

void AnnotationObject::FreeImages() {
  if (image && platform::IsImage(image)) platform::FreeImage(image);
  if (shadowImage && platform::IsImage(shadowImage)) platform::FreeImage(shadowImage);
  image = shadowImage = 0;
  renderedFrom.clear();
}

std::string AnnotationObject::Property(const std::string& key) const {
  auto it = properties.find(key);
  return it == properties.end() ? std::string() : it->second;
}

PropertyMap CreationDefaults(int64_t kind) {
  if (!IsAnnotationKind(kind)) return {};
  const std::string clear = Rgba(0, 0, 0, 0), red = Rgba(255, 0, 0, 255),
                    black = Rgba(0, 0, 0, 255), faint = Rgba(0, 0, 0, 1),
                    grey = Rgba(105, 105, 105, 255);
  PropertyMap p = {
      {"Font", ""},
      {"FontColor", black},
      {"Text", ""},
      {"TextAlignH", "Left"},
      {"TextAlignV", "Top"},
      {"Arrow", "None"},
      {"ArrowPos", "-1"},
      {"ArrowLength", "100"},
      {"ArrowBodyWidth", "20"},
      {"ArrowHeadWidth", "50"},
      {"ArrowHeadHeight", "20"},
      {"ArrowFill", "Fill"},
      {"Shadow", "0"},
      {"CornerRadius", "0"},
      {"FillColor", clear},
      {"LineColor", red},
      {"LineThickness", "5"},
  };
  switch (kind) {
    case kKindRoundedRectangle:
      p["CornerRadius"] = "15";
      break;
    case kKindEllipse:
      p.erase("CornerRadius");
      p["TextAlignH"] = "Center";
      p["TextAlignV"] = "Middle";
      break;
    case kKindHighlighter:
      p["FillColor"] = p["LineColor"] = "$FF00FFFF";
      p["LineThickness"] = "1";
      break;
    case kKindText:
      p["FillColor"] = p["LineColor"] = faint;
      p["Text"] = "Enter some text ...";
      break;
    case kKindNote:
    case kKindBalloon:
      p["CornerRadius"] = "5";
      p["FillColor"] = "$DCC1F8FF";
      p["LineColor"] = grey;
      p["LineThickness"] = kind == kKindNote ? "2" : "5";
      p["Text"] = "Enter some text ...";
      p["Shadow"] = "1";
      if (kind == kKindBalloon) p["Arrow"] = "Left";
      break;
    default:
      break;
  }
  return p;
}

int64_t ReadInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint64_t value = 0;
  auto digit = [](char c, int base) -> int {
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    return d < base ? d : -1;
  };
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  }
  for (; i < text.size(); ++i) {
    int d = digit(text[i], base);
    if (d < 0) break;
    value = value * uint64_t(base) + uint64_t(d);
  }
  return negative ? int64_t(0 - value) : int64_t(value);
}

uint32_t ReadColour(std::string_view text) {
  return uint32_t(uint64_t(ReadInteger(text)) & 0xFFFFFFFFu);
}

std::string ColourText(uint32_t colour) {
  return std::to_string(int32_t(colour));
}

}  // namespace imageeditor
