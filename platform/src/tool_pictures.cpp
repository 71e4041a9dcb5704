#include "tool_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/window_system.h"

namespace platform::detail {

namespace {

// Every picture is drawn on a 16 x 16 grid and scaled, so all sizes show the same thing.
constexpr int kGrid = 16;
const QColor kOutline(60, 60, 60);
const QColor kPaper(255, 255, 255);

void Page(QPainter& p, QRectF box) {
  const qreal fold = 4;
  QPainterPath sheet;
  sheet.moveTo(box.left(), box.top());
  sheet.lineTo(box.right() - fold, box.top());
  sheet.lineTo(box.right(), box.top() + fold);
  sheet.lineTo(box.right(), box.bottom());
  sheet.lineTo(box.left(), box.bottom());
  sheet.closeSubpath();
  p.setPen(QPen(kOutline, 1));
  p.setBrush(kPaper);
  p.drawPath(sheet);
  p.drawPolyline(QPolygonF({QPointF(box.right() - fold, box.top()),
                            QPointF(box.right() - fold, box.top() + fold),
                            QPointF(box.right(), box.top() + fold)}));
}

void TextLines(QPainter& p, qreal left, qreal right, qreal top, int count) {
  p.setPen(QPen(QColor(120, 120, 120), 1));
  for (int i = 0; i < count; ++i)
    p.drawLine(QPointF(left, top + 2 * i), QPointF(right, top + 2 * i));
}

void DrawOpen(QPainter& p) {
  // A folder whose front flap is tipped open.
  p.setPen(QPen(QColor(130, 90, 20), 1));
  p.setBrush(QColor(215, 170, 60));
  p.drawPolygon(QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {13.5, 5}, {13.5, 13.5}, {1.5, 13.5}}));
  p.setBrush(QColor(250, 210, 100));
  p.drawPolygon(QPolygonF({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}}));
}

void DrawSave(QPainter& p) {
  // A diskette: blue body, white label, metal shutter.
  p.setPen(QPen(QColor(20, 40, 100), 1));
  p.setBrush(QColor(60, 100, 190));
  p.drawPolygon(QPolygonF({{1.5, 1.5}, {12.5, 1.5}, {14.5, 3.5}, {14.5, 14.5}, {1.5, 14.5}}));
  p.setBrush(kPaper);
  p.drawRect(QRectF(3.5, 1.5, 8, 5));
  p.setBrush(QColor(190, 190, 200));
  p.drawRect(QRectF(4.5, 9.5, 7, 5));
  p.setBrush(QColor(20, 40, 100));
  p.drawRect(QRectF(6.5, 10.5, 2, 3));
}

void DrawNew(QPainter& p) {
  // A blank page with a yellow spark in its corner.
  Page(p, QRectF(2.5, 1.5, 10, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(250, 200, 0));
  QPolygonF star;
  for (int i = 0; i < 8; ++i) {
    qreal r = i % 2 ? 1.3 : 3.2;
    qreal a = i * 3.14159265 / 4;
    star << QPointF(12.5 + r * std::cos(a), 3.5 + r * std::sin(a));
  }
  p.drawPolygon(star);
}

void DrawCopy(QPainter& p) {
  // Two written pages, one laid over the other.
  Page(p, QRectF(1.5, 1.5, 8, 10));
  TextLines(p, 3, 7, 5, 3);
  Page(p, QRectF(6.5, 4.5, 8, 10));
  TextLines(p, 8, 12, 8.5, 3);
}

void DrawFind(QPainter& p) {
  // A magnifying glass.
  p.setPen(QPen(kOutline, 1.5));
  p.setBrush(QColor(190, 225, 250));
  p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
  p.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10, 10), QPointF(14, 14));
}

void DrawCut(QPainter& p) {
  // Open scissors, blades up, finger rings below.
  p.setPen(QPen(QColor(110, 110, 120), 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.5, 10), QPointF(11.5, 1.5));
  p.drawLine(QPointF(10.5, 10), QPointF(4.5, 1.5));
  p.setPen(QPen(QColor(200, 30, 30), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
  p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
}

void DrawPaste(QPainter& p) {
  // A clipboard with its clip and a written page on it.
  p.setPen(QPen(QColor(100, 65, 20), 1));
  p.setBrush(QColor(185, 130, 60));
  p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12.5), 1, 1);
  Page(p, QRectF(4.5, 5.5, 7, 8.5));
  TextLines(p, 6, 9.5, 8.5, 3);
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(170, 170, 180));
  p.drawRoundedRect(QRectF(5.5, 1, 5, 3), 1, 1);
}

void DrawDelete(QPainter& p) {
  // A red cross.
  p.setPen(QPen(QColor(200, 20, 20), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3, 3), QPointF(13, 13));
  p.drawLine(QPointF(13, 3), QPointF(3, 13));
}

struct Picture {
  int standard;
  const char* themeName;
  void (*draw)(QPainter&);
};

constexpr Picture kPictures[] = {
    {kToolOpen, "document-open", DrawOpen}, {kToolSave, "document-save", DrawSave},
    {kToolNew, "document-new", DrawNew},    {kToolCopy, "edit-copy", DrawCopy},
    {kToolFind, "edit-find", DrawFind},     {kToolCut, "edit-cut", DrawCut},
    {kToolPaste, "edit-paste", DrawPaste},  {kToolDelete, "edit-delete", DrawDelete},
};

}  // namespace

QIcon StandardToolIcon(int standardImage) {
  for (const Picture& picture : kPictures) {
    if (picture.standard != standardImage) continue;
    QIcon drawn;
    for (int size : {16, 24, 32}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.scale(qreal(size) / kGrid, qreal(size) / kGrid);
      picture.draw(painter);
      painter.end();
      drawn.addPixmap(pixmap);
    }
    return QIcon::fromTheme(QString::fromLatin1(picture.themeName), drawn);
  }
  return {};
}

}  // namespace platform::detail
