// Turning an annotation object into its picture and shadow at a zoom, and the two per-pixel
// filters with which the editor lays shadows and highlighter marks over the picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imageeditor/annotation_object.h"

namespace imageeditor {

// Replaces the object's image and shadowImage (none for a width or height of 0); width and
// height become their absolute values. A render with the same inputs as the last keeps the
// pictures it made then.
void RenderAnnotation(AnnotationObject& object, double zoom);

// Black at alpha 200 wherever the object is not completely empty.
uint32_t ShadowFilter(int x, int y, uint32_t source, uint32_t target);
// Colours only light pixels (mean of red, green and blue above 240), so dark text shows.
uint32_t HighlighterFilter(int x, int y, uint32_t source, uint32_t target);

// The text's words, each with at most one following character that is not a line feed; a
// line feed gives an empty token and the end of the text a final one.
std::vector<std::string> TextTokens(const std::string& text);
// Lines that fit wrapWidth as measured; a word too wide stands alone on its line.
std::vector<std::string> WrapTextLines(const std::vector<std::string>& tokens, int wrapWidth,
                                       const std::function<int(const std::string&)>& width);

// Real to integer: the nearest, halves to even.
int64_t RoundEven(double value);

}  // namespace imageeditor
