// Annotation objects: the shapes laid over an edited picture, their kinds, their property
// map and the values a new object of each kind starts with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace imageeditor {

// A kind is also the id of the Annotation menu item that creates it.
enum AnnotationKind : int64_t {
  kKindRectangle = 21,
  kKindEllipse = 22,
  kKindRoundedRectangle = 23,
  kKindBalloon = 24,
  kKindText = 25,
  kKindNote = 26,
  kKindHighlighter = 27,
};
// The body drawn: a box (square or rounded corners) or an ellipse.
enum AnnotationShape : int64_t { kShapeBox = 21, kShapeEllipse = 22 };

bool IsAnnotationKind(int64_t kind);
std::string KindMenuText(int64_t kind);  // "" for no kind
std::string KindListName(int64_t kind);  // the name the templates list shows
int64_t ShapeOfKind(int64_t kind);       // 0 for no kind

// Keys are case-sensitive; every value is text.
using PropertyMap = std::map<std::string, std::string>;

// One object; it owns its two rendered pictures.
struct AnnotationObject {
  int64_t inittype = 0;
  int64_t type = 0;
  int image = 0;        // rendered object, 0 when none
  int shadowImage = 0;  // its shadow silhouette
  // Copies of the owning item's position and size in view pixels, rounded.
  int64_t x = 0, y = 0, width = 0, height = 0;
  PropertyMap properties;
  // What the pictures were rendered from; a render with the same inputs keeps them.
  std::string renderedFrom;

  AnnotationObject() = default;
  ~AnnotationObject();
  AnnotationObject(const AnnotationObject&) = delete;
  AnnotationObject& operator=(const AnnotationObject&) = delete;
  void FreeImages();
  std::string Property(const std::string& key) const;
};

// The property values of a new object of the kind; empty for no kind.
PropertyMap CreationDefaults(int64_t kind);

// The usual integer reading: leading blanks, an optional sign, "$" hexadecimal, "%" binary
// or decimal digits, up to the first other character; 0 when there are none. Overflow wraps.
int64_t ReadInteger(std::string_view text);
// A colour property: the low 32 bits of the integer reading.
uint32_t ReadColour(std::string_view text);
// A colour as the program stores it: the packed value read as a signed 32-bit number.
std::string ColourText(uint32_t colour);

}  // namespace imageeditor
