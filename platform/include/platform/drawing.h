// Drawing into images and canvases. Two kinds, each opened on one output at a time:
// - raster drawing with exact colours on non-premultiplied ARGB32 (what the image editor
//   needs so that flood fills stop at the colours it drew and filters see true values);
// - vector drawing with anti-aliased paths, strokes and text (the graph view).
// Colours use the layer's format: red | green << 8 | blue << 16 | alpha << 24.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_system.h"

namespace platform {

constexpr uint32_t Red(uint32_t colour) {
  return colour & 0xFF;
}
constexpr uint32_t Green(uint32_t colour) {
  return (colour >> 8) & 0xFF;
}
constexpr uint32_t Blue(uint32_t colour) {
  return (colour >> 16) & 0xFF;
}
constexpr uint32_t Alpha(uint32_t colour) {
  return colour >> 24;
}

// Where drawing goes: an image, or the back buffer of a canvas gadget (shown again when the
// drawing stops).
struct DrawOutput {
  int kind = 0;
  int number = 0;
};
DrawOutput ImageOutput(int image);
DrawOutput CanvasOutput(int gadget);

// ------------------------------------------------------------------------------------ raster
enum DrawingModeFlags : uint32_t {
  // Colours are drawn opaque, whatever their alpha byte; images are copied with their alpha.
  kDrawDefault = 0,
  // The colour's four channels replace the pixel.
  kDrawAllChannels = 1,
  // Source over destination by the colour's (or the image pixel's) alpha.
  kDrawAlphaBlend = 2,
  // Only the alpha byte is written; red, green and blue stay.
  kDrawAlphaChannel = 3,
  // Every touched pixel becomes what the filter callback returns.
  kDrawCustomFilter = 4,
  // Boxes, rounded boxes and ellipses draw only their one-pixel border.
  kDrawOutlined = 0x100,
};
// source: the colour being drawn (or the image's pixel); target: the pixel already there.
using PixelFilter = std::function<uint32_t(int x, int y, uint32_t source, uint32_t target)>;

// Returns false (and draws nothing until the next start) when the output does not exist.
// Starting again while a drawing is open stops that one first. The mode starts as
// kDrawDefault and the font as the standard font.
bool StartDrawing(DrawOutput output);
void StopDrawing();
int OutputWidth();
int OutputHeight();
void DrawingMode(uint32_t mode);
void CustomFilterCallback(PixelFilter filter);
void DrawingFont(int font);  // 0: the standard font

// Everything outside the output is clipped; nothing is smoothed.
void Plot(int x, int y, uint32_t colour);
uint32_t ReadPixel(int x, int y);  // 0 outside the output
// Both end points are drawn.
void LineXY(int x1, int y1, int x2, int y2, uint32_t colour);
// Negative sizes extend left or up from (x, y).
void Box(int x, int y, int w, int h, uint32_t colour);
// The radii are limited to half the width and height.
void RoundBox(int x, int y, int w, int h, int radiusX, int radiusY, uint32_t colour);
void Ellipse(int centreX, int centreY, int radiusX, int radiusY, uint32_t colour);
// Fills the area around (x, y) bounded by pixels of boundaryColour, spreading to the four
// direct neighbours only. The boundary is compared as the current mode would write it, so
// kDrawDefault fills stop at the opaque pixels an Rgb() colour drew. Nothing happens when
// the start pixel is part of the boundary.
void FillArea(int x, int y, uint32_t boundaryColour, uint32_t colour);

constexpr int64_t kNoBackground = -1;
// (x, y) is the top left of the text. The background, when given, fills the text's cell.
// Alpha blending and kDrawDefault smooth the glyph edges; the other modes draw the pixels
// covered by at least half. Returns the x after the text.
int DrawText(int x, int y, const std::string& text, uint32_t frontColour,
             int64_t backColour = kNoBackground);
int TextWidth(const std::string& text);
int TextHeight(const std::string& text);

// Draws an image at (x, y), stretched smoothly to w x h unless both are kKeepValue.
void DrawImage(int image, int x, int y, int w = kKeepValue, int h = kKeepValue);
// Moves the whole picture of the output by (dx, dy) pixels: what moves past the edges is
// lost and the pixels left uncovered become colour (its four channels).
void ScrollOutput(int dx, int dy, uint32_t colour);

// ------------------------------------------------------------------------------------ vector
// Coordinates are pixels of the output, as doubles. Fill and stroke use up the current path.
bool StartVectorDrawing(DrawOutput output);
void StopVectorDrawing();
// A colour with alpha 0 draws nothing.
void VectorSourceColor(uint32_t rgba);
// The font's family and style at a size in pixels (at least 1).
void VectorFont(int font, double pixelSize);

void MovePathCursor(double x, double y);
void AddPathLine(double x, double y);
void AddPathCurve(double x1, double y1, double x2, double y2, double x3, double y3);
void AddPathBox(double x, double y, double w, double h);
void AddPathEllipse(double centreX, double centreY, double radiusX, double radiusY);
void FillPath();
void StrokePath(double width);
// Dashes and the gaps between them are both `length` pixels long.
void DashPath(double width, double length);
// Solid lines of width 1 or less are drawn as pieces no longer than this, corners on a grid
// of 1/64 pixel relative to the origin. Such a line is smoothed from where an edge of the
// output cuts it, so a cut changes only the pixels of the piece it falls in and the first of
// the next; a dashed line's cut moves every later dash.
constexpr double kThinLinePiece = 32;

// The text's top left is the path cursor; lines break at LF.
void DrawVectorText(const std::string& text);
enum ParagraphAlign : int { kParagraphLeft = 0, kParagraphCenter, kParagraphRight };
// Word-wrapped into a box at the path cursor.
void DrawVectorParagraph(const std::string& text, double width, double height,
                         int align = kParagraphLeft);
// Measures in the vector font: by default the text's cell (advances and line heights);
// kVectorTextVisible measures only the inked outline.
enum VectorTextFlags : uint32_t { kVectorTextVisible = 1 };
double VectorTextWidth(const std::string& text, uint32_t flags = 0);
double VectorTextHeight(const std::string& text, uint32_t flags = 0);
// Width and height of the inked outline (kVectorTextVisible) from one outline of the text.
struct TextSize {
  double width = 0;
  double height = 0;
};
TextSize VectorTextInk(const std::string& text);
double VectorParagraphHeight(const std::string& text, double width, double height);

// Turns what is drawn afterwards by angle degrees (clockwise, y down) around (x, y); turns
// add up until reset.
void RotateCoordinates(double x, double y, double angle);
void ResetCoordinates();

// Coordinates stay output pixels, but shapes are worked out relative to the output pixel
// (x, y) and then moved there whole. A drawing repeated with every coordinate and the origin
// moved by the same whole number of pixels thus comes out moved, pixel for pixel, except
// near where a thin line crosses the output's edges (see kThinLinePiece). Setting it resets
// the turns; a new drawing starts at (0, 0).
void VectorOrigin(int x, int y);
// Limits what is drawn afterwards to the box (output pixels) until the next clip, the unclip
// or the end of the drawing; pixels inside come out as they would without the clip. A box
// without area lets nothing through.
void ClipVectorDrawing(int x, int y, int w, int h);
void UnclipVectorDrawing();

}  // namespace platform
