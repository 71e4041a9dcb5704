// Vector drawing: anti-aliased paths and text through QPainter. Path points are turned by
// the rotation in force when they are added, so a box added under a rotation stays turned
// after the rotation is reset, and strokes keep their width in output pixels.
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <memory>

#include "drawing_output.h"
#include "tolvek/callstack.h"

namespace platform {
using namespace detail;

namespace {

struct VectorState {
  ResolvedOutput out;
  std::unique_ptr<QPainter> painter;
  QColor colour = Qt::black;
  QFont font;
  QPainterPath path;
  QPointF cursor;
  QTransform transform;
};

VectorState& Vector() {
  static VectorState state;
  return state;
}

QPainter* Painter() {
  return Vector().painter.get();
}

QPointF Mapped(double x, double y) {
  return Vector().transform.map(QPointF(x, y));
}

QFontMetricsF Metrics() {
  static const QImage probe(1, 1, QImage::Format_ARGB32);
  return QFontMetricsF(Vector().font, &probe);
}

// Leaves the painter as every drawing call expects it: no transform of its own.
void Consume(const QPen& pen, const QBrush& brush) {
  auto& v = Vector();
  if (QPainter* painter = Painter(); painter && v.colour.alpha() > 0) {
    painter->setPen(pen);
    painter->setBrush(brush);
    painter->drawPath(v.path);
  }
  v.path = QPainterPath();
  v.path.setFillRule(Qt::WindingFill);
}

constexpr int kParagraphFlags[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

int ParagraphFlags(int align) {
  if (align < 0 || align >= int(std::size(kParagraphFlags))) align = kParagraphLeft;
  return kParagraphFlags[align] | Qt::AlignTop | Qt::TextWordWrap;
}

}  // namespace

bool StartVectorDrawing(DrawOutput output) {
  TOLVEK_TRACE("StartVectorDrawing");
  StopVectorDrawing();
  auto& v = Vector();
  v.out = Resolve(output);
  v.colour = Qt::black;
  v.font = QFont();
  v.path = QPainterPath();
  v.path.setFillRule(Qt::WindingFill);
  v.cursor = QPointF();
  v.transform = QTransform();
  if (!v.out.image) return false;
  v.painter = std::make_unique<QPainter>(v.out.image.get());
  v.painter->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  return true;
}

void StopVectorDrawing() {
  auto& v = Vector();
  v.painter.reset();
  int canvas = v.out.canvas;
  v.out = ResolvedOutput{};
  if (canvas != -1) RefreshCanvas(canvas);
}

void VectorSourceColor(uint32_t rgba) {
  Vector().colour = QColor(int(Red(rgba)), int(Green(rgba)), int(Blue(rgba)), int(Alpha(rgba)));
}

void VectorFont(int font, double pixelSize) {
  auto& fonts = Layer().fonts;
  auto it = fonts.find(font);
  QFont chosen = it != fonts.end() && it->second ? *it->second : QFont();
  // Pixel sizes are whole; below one pixel text would vanish rather than shrink.
  chosen.setPixelSize(std::max(1, int(std::lround(pixelSize))));
  Vector().font = chosen;
}

void MovePathCursor(double x, double y) {
  auto& v = Vector();
  v.cursor = QPointF(x, y);
  v.path.moveTo(Mapped(x, y));
}

void AddPathLine(double x, double y) {
  auto& v = Vector();
  if (v.path.elementCount() == 0) v.path.moveTo(Mapped(v.cursor.x(), v.cursor.y()));
  v.path.lineTo(Mapped(x, y));
  v.cursor = QPointF(x, y);
}

void AddPathCurve(double x1, double y1, double x2, double y2, double x3, double y3) {
  auto& v = Vector();
  if (v.path.elementCount() == 0) v.path.moveTo(Mapped(v.cursor.x(), v.cursor.y()));
  v.path.cubicTo(Mapped(x1, y1), Mapped(x2, y2), Mapped(x3, y3));
  v.cursor = QPointF(x3, y3);
}

void AddPathBox(double x, double y, double w, double h) {
  QPainterPath box;
  box.addRect(QRectF(x, y, w, h).normalized());
  auto& v = Vector();
  v.path.addPath(v.transform.map(box));
  v.cursor = QPointF(x, y);
}

void AddPathEllipse(double centreX, double centreY, double radiusX, double radiusY) {
  QPainterPath ellipse;
  ellipse.addEllipse(QPointF(centreX, centreY), std::abs(radiusX), std::abs(radiusY));
  auto& v = Vector();
  v.path.addPath(v.transform.map(ellipse));
  v.cursor = QPointF(centreX, centreY);
}

void FillPath() {
  Consume(Qt::NoPen, QBrush(Vector().colour));
}

void StrokePath(double width) {
  QPen pen(Vector().colour, std::max(width, 0.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  Consume(pen, Qt::NoBrush);
}

void DashPath(double width, double length) {
  width = std::max(width, 0.0);
  // Flat caps, so a dash is as long as asked; Qt counts dash patterns in pen widths.
  QPen pen(Vector().colour, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
  double unit = width > 0 ? width : 1.0;
  double dash = std::max(length, 0.01) / unit;
  pen.setDashPattern({dash, dash});
  Consume(pen, Qt::NoBrush);
}

void DrawVectorText(const std::string& text) {
  TOLVEK_TRACE("DrawVectorText");
  auto& v = Vector();
  QPainter* painter = Painter();
  if (!painter || text.empty() || v.colour.alpha() == 0) return;
  QRectF cell(v.cursor, Metrics().boundingRect(QRectF(), Qt::AlignLeft, Q(text)).size());
  painter->save();
  painter->setTransform(v.transform);
  painter->setFont(v.font);
  painter->setPen(v.colour);
  painter->drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, Q(text));
  painter->restore();
}

void DrawVectorParagraph(const std::string& text, double width, double height, int align) {
  TOLVEK_TRACE("DrawVectorParagraph");
  auto& v = Vector();
  QPainter* painter = Painter();
  if (!painter || text.empty() || v.colour.alpha() == 0 || width <= 0 || height <= 0) return;
  painter->save();
  painter->setTransform(v.transform);
  painter->setFont(v.font);
  painter->setPen(v.colour);
  painter->drawText(QRectF(v.cursor, QSizeF(width, height)), ParagraphFlags(align), Q(text));
  painter->restore();
}

namespace {
QRectF Measure(const std::string& text, uint32_t flags) {
  if (text.empty()) return QRectF();
  QString qtext = Q(text);
  QFontMetricsF metrics = Metrics();
  if (!(flags & kVectorTextVisible)) return metrics.boundingRect(QRectF(), Qt::AlignLeft, qtext);
  // The inked outline: each line laid out as drawn, then the box of all glyph outlines.
  QPainterPath outline;
  double top = 0;
  for (const QString& line : qtext.split(QChar('\n'))) {
    outline.addText(0, top + metrics.ascent(), Vector().font, line);
    top += metrics.lineSpacing();
  }
  return outline.boundingRect();
}
}  // namespace

double VectorTextWidth(const std::string& text, uint32_t flags) {
  return Measure(text, flags).width();
}

double VectorTextHeight(const std::string& text, uint32_t flags) {
  return Measure(text, flags).height();
}

double VectorParagraphHeight(const std::string& text, double width, double height) {
  if (text.empty() || width <= 0 || height <= 0) return 0;
  QRectF box(0, 0, width, height);
  // Lines beyond the box are not drawn, so they do not count either.
  return std::min(Metrics().boundingRect(box, ParagraphFlags(kParagraphLeft), Q(text)).height(),
                  height);
}

void RotateCoordinates(double x, double y, double angle) {
  auto& v = Vector();
  // Around (x, y) as the caller sees it now, after earlier turns.
  QTransform turn;
  turn.translate(x, y);
  turn.rotate(angle);
  turn.translate(-x, -y);
  v.transform = turn * v.transform;
}

void ResetCoordinates() {
  Vector().transform = QTransform();
}

}  // namespace platform
