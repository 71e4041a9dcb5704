// Vector drawing: anti-aliased paths and text through QPainter, on the premultiplied layout
// it draws fastest on. Path points are turned by the rotation in force when they are added,
// so a box added under a rotation stays turned after the rotation is reset, and strokes keep
// their width in output pixels. Qt receives every point relative to the origin and moves the
// finished shape there by whole pixels: what it works out in floating point (stroke outlines,
// joins, curve flattening) then depends only on the shape, not on where it lies.
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

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
  std::optional<QFontMetricsF> metrics;  // of font, measured once per font
  bool painterHasFont = false;
  QPainterPath path;
  bool pathIsBox = false;  // the path is one box, not turned
  QPointF cursor;          // in output pixels
  QTransform transform;    // the turns, relative to the origin
  QPoint origin;
};

VectorState& Vector() {
  static VectorState state;
  return state;
}

QPainter* Painter() {
  return Vector().painter.get();
}

// An output point relative to the origin, turned.
QPointF Mapped(double x, double y) {
  auto& v = Vector();
  return v.transform.map(QPointF(x - v.origin.x(), y - v.origin.y()));
}

// What the painter applies to the points it gets: the move to the origin.
QTransform Placement() {
  return QTransform::fromTranslate(Vector().origin.x(), Vector().origin.y());
}

const QFontMetricsF& Metrics() {
  auto& v = Vector();
  static const QImage probe(1, 1, kPremultiplied);
  if (!v.metrics) v.metrics.emplace(v.font, &probe);
  return *v.metrics;
}

void SetFont(const QFont& font) {
  auto& v = Vector();
  v.font = font;
  v.metrics.reset();
  v.painterHasFont = false;
}

// Draws and empties the path. The painter holds only the placement at the origin, except
// while text is drawn.
void Consume(const QPen& pen, const QBrush& brush) {
  auto& v = Vector();
  if (QPainter* painter = Painter(); painter && v.colour.alpha() > 0) {
    painter->setPen(pen);
    painter->setBrush(brush);
    // A lone segment, the graph's commonest stroke, skips the path stroker, and a lone
    // upright box the path filler.
    if (brush.style() == Qt::NoBrush && v.path.elementCount() == 2 &&
        v.path.elementAt(0).isMoveTo() && v.path.elementAt(1).isLineTo())
      painter->drawLine(QPointF(v.path.elementAt(0)), QPointF(v.path.elementAt(1)));
    else if (pen.style() == Qt::NoPen && v.pathIsBox)
      painter->fillRect(v.path.boundingRect(), brush);
    else
      painter->drawPath(v.path);
  }
  v.path = QPainterPath();
  v.path.setFillRule(Qt::WindingFill);
  v.pathIsBox = false;
}

// The painter set for text in the vector font and colour, turned as the coordinates are.
QPainter* TextPainter() {
  auto& v = Vector();
  QPainter* painter = Painter();
  if (!v.painterHasFont) {
    painter->setFont(v.font);
    v.painterHasFont = true;
  }
  painter->setPen(v.colour);
  painter->setTransform(v.transform * Placement());
  return painter;
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
  SetFont(QFont());
  v.path = QPainterPath();
  v.path.setFillRule(Qt::WindingFill);
  v.cursor = QPointF();
  v.transform = QTransform();
  v.origin = QPoint();
  if (!v.out.image) return false;
  ToLayout(*v.out.image, kPremultiplied);
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
  SetFont(chosen);
}

void MovePathCursor(double x, double y) {
  auto& v = Vector();
  v.pathIsBox = false;
  v.cursor = QPointF(x, y);
  v.path.moveTo(Mapped(x, y));
}

void AddPathLine(double x, double y) {
  auto& v = Vector();
  v.pathIsBox = false;
  if (v.path.elementCount() == 0) v.path.moveTo(Mapped(v.cursor.x(), v.cursor.y()));
  v.path.lineTo(Mapped(x, y));
  v.cursor = QPointF(x, y);
}

void AddPathCurve(double x1, double y1, double x2, double y2, double x3, double y3) {
  auto& v = Vector();
  v.pathIsBox = false;
  if (v.path.elementCount() == 0) v.path.moveTo(Mapped(v.cursor.x(), v.cursor.y()));
  v.path.cubicTo(Mapped(x1, y1), Mapped(x2, y2), Mapped(x3, y3));
  v.cursor = QPointF(x3, y3);
}

void AddPathBox(double x, double y, double w, double h) {
  QPainterPath box;
  box.addRect(QRectF(x - Vector().origin.x(), y - Vector().origin.y(), w, h).normalized());
  auto& v = Vector();
  v.path.addPath(v.transform.map(box));
  // Five elements: the box's own, with no lone starting point before them.
  v.pathIsBox = v.path.elementCount() == 5 && v.transform.type() <= QTransform::TxScale;
  v.cursor = QPointF(x, y);
}

void AddPathEllipse(double centreX, double centreY, double radiusX, double radiusY) {
  QPainterPath ellipse;
  ellipse.addEllipse(QPointF(centreX - Vector().origin.x(), centreY - Vector().origin.y()),
                     std::abs(radiusX), std::abs(radiusY));
  auto& v = Vector();
  v.pathIsBox = false;
  v.path.addPath(v.transform.map(ellipse));
  v.cursor = QPointF(centreX, centreY);
}

void FillPath() {
  Consume(Qt::NoPen, QBrush(Vector().colour));
}

namespace {

// The path with its long stretches cut into pieces of at most kThinLinePiece pixels: a curve
// whose control points lie further apart becomes a chain of its points at even steps of its
// parameter. Corners lie on a 1/64 pixel grid, which moving by whole pixels keeps exact.
QPainterPath InPieces(const QPainterPath& path) {
  auto aligned = [](QPointF p) {
    return QPointF(std::round(p.x() * 64) / 64, std::round(p.y() * 64) / 64);
  };
  auto length = [](QPointF a, QPointF b) { return std::hypot(b.x() - a.x(), b.y() - a.y()); };
  QPainterPath out;
  out.setFillRule(path.fillRule());
  QPointF last;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.isMoveTo()) {
      out.moveTo(e);
      last = e;
      continue;
    }
    if (e.isLineTo()) {
      const int n = int(std::ceil(length(last, e) / kThinLinePiece));
      for (int k = 1; k < n; ++k) out.lineTo(aligned(last + (QPointF(e) - last) * k / n));
      out.lineTo(e);
      last = e;
      continue;
    }
    const QPointF c1 = e, c2 = path.elementAt(i + 1), to = path.elementAt(i + 2);
    i += 2;
    // The curve moves at most three times its longest leg per unit of its parameter.
    const double leg = std::max({length(last, c1), length(c1, c2), length(c2, to)});
    const int n = int(std::ceil(3 * leg / kThinLinePiece));
    if (n <= 1) {
      out.cubicTo(c1, c2, to);
    } else {
      for (int k = 1; k < n; ++k) {
        const double t = double(k) / n, u = 1 - t;
        out.lineTo(aligned(last * (u * u * u) + c1 * (3 * u * u * t) + c2 * (3 * u * t * t) +
                           to * (t * t * t)));
      }
      out.lineTo(to);
    }
    last = to;
  }
  return out;
}

// Whether some stretch of the path may be longer than a piece, judged by its control points.
bool HasLongStretch(const QPainterPath& path) {
  const QRectF bounds = path.controlPointRect();
  if (bounds.width() + bounds.height() <= kThinLinePiece / 3) return false;
  QPointF last;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPointF p = path.elementAt(i);
    if (!path.elementAt(i).isMoveTo() &&
        std::abs(p.x() - last.x()) + std::abs(p.y() - last.y()) > kThinLinePiece / 3)
      return true;
    last = p;
  }
  return false;
}

}  // namespace

void StrokePath(double width) {
  if (width <= 1 && HasLongStretch(Vector().path)) Vector().path = InPieces(Vector().path);
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
  if (!Painter() || text.empty() || v.colour.alpha() == 0) return;
  QPainter* painter = TextPainter();
  QString qtext = Q(text);
  if (!qtext.contains(QChar('\n'))) {
    // One line: its baseline lies the font's ascent below the top, as in the laid-out cell.
    const QPointF at = v.cursor - v.origin;
    painter->drawText(QPointF(at.x(), at.y() + Metrics().ascent()), qtext);
  } else {
    QRectF cell(v.cursor - v.origin, Metrics().boundingRect(QRectF(), Qt::AlignLeft, qtext).size());
    painter->drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, qtext);
  }
  painter->setTransform(Placement());
}

void DrawVectorParagraph(const std::string& text, double width, double height, int align) {
  TOLVEK_TRACE("DrawVectorParagraph");
  auto& v = Vector();
  if (!Painter() || text.empty() || v.colour.alpha() == 0 || width <= 0 || height <= 0) return;
  QPainter* painter = TextPainter();
  painter->drawText(QRectF(v.cursor - v.origin, QSizeF(width, height)), ParagraphFlags(align),
                    Q(text));
  painter->setTransform(Placement());
}

namespace {

// One glyph of one font face at one size; the raw font keeps its face alive while the key
// exists, so a key never meets another face at the same address.
struct GlyphKey {
  QRawFont font;
  quint32 glyph = 0;
  bool operator==(const GlyphKey&) const = default;
};

size_t qHash(const GlyphKey& key, size_t seed = 0) {
  return qHashMulti(seed, key.font, key.glyph);
}

// Whether the line's outline is the union of its glyphs' boxes placed where the layout puts
// them: plain Latin without tabs, which the outline of a whole line skips but the layout
// moves to a tab stop, and without the scripts whose marks the two place apart.
bool GlyphBoxesServe(const QString& line) {
  for (QChar c : line) {
    if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0) || c.unicode() >= 0x250)
      return false;
  }
  return true;
}

// The inked box of one line with its baseline at y, from the boxes of its glyphs: building a
// glyph's outline runs the font's hinting program, so each glyph's box is worked out once.
// Equal to the box of the line's outline, since each glyph's outline is the same shape
// moved to its place.
QRectF LineInkFromGlyphs(const QString& line, const QFont& font, double y) {
  static QHash<GlyphKey, QRectF> boxes;
  if (boxes.size() > 65536) boxes.clear();
  QTextLayout layout(line, font);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  QTextLine laid = layout.createLine();
  layout.endLayout();
  QRectF ink;
  const double shift = y - laid.ascent();
  for (const QGlyphRun& run : laid.glyphRuns()) {
    const QRawFont raw = run.rawFont();
    const QList<quint32> glyphs = run.glyphIndexes();
    const QList<QPointF> places = run.positions();
    for (qsizetype i = 0; i < glyphs.size() && i < places.size(); ++i) {
      auto it = boxes.find(GlyphKey{raw, glyphs[i]});
      if (it == boxes.end()) {
        it = boxes.insert(GlyphKey{raw, glyphs[i]}, raw.pathForGlyph(glyphs[i]).boundingRect());
      }
      if (!it->isNull()) ink |= it->translated(places[i].x(), places[i].y() + shift);
    }
  }
  return ink;
}

QRectF Measure(const std::string& text, uint32_t flags) {
  if (text.empty()) return QRectF();
  QString qtext = Q(text);
  const QFontMetricsF& metrics = Metrics();
  if (!(flags & kVectorTextVisible)) return metrics.boundingRect(QRectF(), Qt::AlignLeft, qtext);
  // The inked outline: each line laid out as drawn, then the box of all glyph outlines.
  QPainterPath outline;
  QRectF ink;
  double top = 0;
  for (const QString& line : qtext.split(QChar('\n'))) {
    if (!line.isEmpty() && GlyphBoxesServe(line)) {
      ink |= LineInkFromGlyphs(line, Vector().font, top + metrics.ascent());
    } else {
      outline.addText(0, top + metrics.ascent(), Vector().font, line);
    }
    top += metrics.lineSpacing();
  }
  return ink | outline.boundingRect();
}
}  // namespace

double VectorTextWidth(const std::string& text, uint32_t flags) {
  return Measure(text, flags).width();
}

double VectorTextHeight(const std::string& text, uint32_t flags) {
  return Measure(text, flags).height();
}

TextSize VectorTextInk(const std::string& text) {
  const QRectF ink = Measure(text, kVectorTextVisible);
  return {ink.width(), ink.height()};
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
  const double px = x - v.origin.x(), py = y - v.origin.y();
  QTransform turn;
  turn.translate(px, py);
  turn.rotate(angle);
  turn.translate(-px, -py);
  v.transform = turn * v.transform;
}

void ResetCoordinates() {
  Vector().transform = QTransform();
}

void VectorOrigin(int x, int y) {
  auto& v = Vector();
  v.origin = QPoint(x, y);
  v.transform = QTransform();
  if (QPainter* painter = Painter()) painter->setTransform(Placement());
}

void ClipVectorDrawing(int x, int y, int w, int h) {
  QPainter* painter = Painter();
  if (!painter) return;
  // The box is in output pixels, whatever the painter's placement.
  painter->resetTransform();
  painter->setClipRect(QRect(x, y, std::max(w, 0), std::max(h, 0)));
  painter->setTransform(Placement());
}

void UnclipVectorDrawing() {
  if (QPainter* painter = Painter()) painter->setClipping(false);
}

}  // namespace platform
