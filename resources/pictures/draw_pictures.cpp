// Draws the workbench's pictures into the folder given on the command line. The PNG files
// are kept in the repository; run this only to change the artwork:
//   g++ -std=c++20 -fPIC draw_pictures.cpp $(pkg-config --cflags --libs Qt6Widgets) -o /tmp/draw
//   QT_QPA_PLATFORM=offscreen /tmp/draw resources/pictures
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <functional>
#include <string>

namespace {

QString gFolder;

void Save(const char* name, int w, int h, const std::function<void(QPainter&)>& draw) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  draw(p);
  p.end();
  image.save(gFolder + "/" + name + ".png");
}

const QColor kInk(40, 52, 72);
const QColor kAccent(34, 120, 200);
const QColor kGo(36, 150, 70);

void Triangle(QPainter& p, double x, double y, double w, double h, bool right, QColor c) {
  QPolygonF t;
  if (right) {
    t << QPointF(x, y) << QPointF(x + w, y + h / 2) << QPointF(x, y + h);
  } else {
    t << QPointF(x + w, y) << QPointF(x, y + h / 2) << QPointF(x + w, y + h);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPolygon(t);
}

void Bar(QPainter& p, double x, double y, double w, double h, QColor c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawRect(QRectF(x, y, w, h));
}

void Letter(QPainter& p, const QString& text, QColor back, QColor fore, int size = 16) {
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), 3, 3);
  QFont f("DejaVu Sans");
  f.setPixelSize(size - 5);
  f.setBold(true);
  p.setFont(f);
  p.setPen(fore);
  p.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, text);
}

// A small graph of nodes and edges, the motif of the logo and the splash.
void GraphMotif(QPainter& p, QRectF box) {
  const QPointF n[] = {{0.15, 0.5}, {0.45, 0.2}, {0.45, 0.8}, {0.8, 0.35}, {0.8, 0.75}};
  auto at = [&](int i) {
    return QPointF(box.left() + n[i].x() * box.width(), box.top() + n[i].y() * box.height());
  };
  const int edges[][2] = {{0, 1}, {0, 2}, {1, 3}, {2, 3}, {2, 4}};
  const QColor colours[] = {QColor(200, 40, 200), QColor(36, 150, 70), QColor(220, 60, 50),
                            QColor(34, 120, 200), QColor(240, 150, 30)};
  for (int i = 0; i < 5; ++i) {
    p.setPen(QPen(colours[i], box.height() / 22.0));
    p.drawLine(at(edges[i][0]), at(edges[i][1]));
  }
  p.setPen(QPen(Qt::white, box.height() / 30.0));
  for (int i = 0; i < 5; ++i) {
    p.setBrush(i == 0 ? kInk : (i == 3 ? kAccent : QColor(250, 190, 60)));
    double r = box.height() / (i == 0 ? 7.0 : 9.0);
    p.drawEllipse(at(i), r, r);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  gFolder = argc > 1 ? argv[1] : ".";

  Save("frame_first", 16, 16, [](QPainter& p) {
    Bar(p, 3, 3, 2, 10, kInk);
    Triangle(p, 5, 3, 8, 10, false, kInk);
  });
  Save("frame_previous", 16, 16, [](QPainter& p) {
    Triangle(p, 1, 3, 7, 10, false, kInk);
    Triangle(p, 8, 3, 7, 10, false, kInk);
  });
  Save("animation_play", 16, 16, [](QPainter& p) { Triangle(p, 4, 2, 10, 12, true, kGo); });
  Save("animation_stop", 16, 16, [](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 50, 50));
    p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
  });
  Save("frame_next", 16, 16, [](QPainter& p) {
    Triangle(p, 1, 3, 7, 10, true, kInk);
    Triangle(p, 8, 3, 7, 10, true, kInk);
  });
  Save("frame_last", 16, 16, [](QPainter& p) {
    Triangle(p, 3, 3, 8, 10, true, kInk);
    Bar(p, 11, 3, 2, 10, kInk);
  });
  Save("logo", 110, 70, [](QPainter& p) {
    GraphMotif(p, QRectF(4, 2, 102, 44));
    QFont f("DejaVu Sans");
    f.setPixelSize(17);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(0, 46, 110, 22), Qt::AlignCenter, "LumiVEX");
  });
  Save("frames_mode", 16, 16, [](QPainter& p) {
    // A film strip: frames mode.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(1, 2, 14, 12), 1.5, 1.5);
    p.setBrush(QColor(250, 250, 250));
    for (int i = 0; i < 4; ++i) {
      p.drawRect(QRectF(2.5 + i * 3.2, 3, 1.6, 1.6));
      p.drawRect(QRectF(2.5 + i * 3.2, 11.4, 1.6, 1.6));
    }
    p.setBrush(QColor(120, 190, 250));
    p.drawRect(QRectF(3, 5.5, 4.5, 5));
    p.drawRect(QRectF(8.5, 5.5, 4.5, 5));
  });
  Save("timeline_unique", 16, 16,
       [](QPainter& p) { Letter(p, "U", QColor(120, 60, 170), Qt::white); });
  Save("timeline_all", 16, 16, [](QPainter& p) { Letter(p, "A", kAccent, Qt::white); });
  Save("timeline_all_rle", 16, 16,
       [](QPainter& p) { Letter(p, "R", QColor(30, 140, 130), Qt::white); });
  Save("render_options", 16, 16, [](QPainter& p) {
    // Three sliders.
    for (int i = 0; i < 3; ++i) {
      double y = 3.5 + i * 4.5;
      p.setPen(QPen(kInk, 1.2));
      p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
      p.setPen(QPen(Qt::white, 1));
      p.setBrush(i == 1 ? kAccent : QColor(240, 150, 30));
      double x = i == 0 ? 10 : (i == 1 ? 4.5 : 8);
      p.drawEllipse(QPointF(x, y), 2.4, 2.4);
    }
  });
  Save("text_unicode", 16, 16,
       [](QPainter& p) { Letter(p, QString::fromUtf8("\xc3\x9c"), QColor(250, 250, 250), kInk); });
  Save("text_ascii", 16, 16, [](QPainter& p) { Letter(p, "A", kInk, QColor(250, 250, 250)); });
  Save("donation", 640, 400, [](QPainter& p) {
    p.fillRect(QRectF(0, 0, 640, 400), Qt::white);
    GraphMotif(p, QRectF(440, 30, 180, 90));
    QFont title("DejaVu Sans");
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kInk);
    p.drawText(QRectF(30, 40, 420, 50), Qt::AlignLeft | Qt::AlignVCenter, "Thank you!");
    QFont body("DejaVu Sans");
    body.setPixelSize(16);
    p.setFont(body);
    p.drawText(QRectF(30, 140, 580, 230), Qt::AlignLeft | Qt::TextWordWrap,
               "LumiVEX is made by a small team in its spare time. If it saved you hours of "
               "reading event logs, please consider a donation: it pays for the test "
               "machines and the samples we analyse, and it tells us the work is worth going "
               "on with.\n\nEvery contribution, however small, is read and appreciated.");
  });
  Save("splash", 609, 382, [](QPainter& p) {
    QLinearGradient g(0, 0, 0, 352);
    g.setColorAt(0, QColor(24, 36, 58));
    g.setColorAt(1, QColor(44, 76, 120));
    p.fillRect(QRectF(0, 0, 609, 352), g);
    GraphMotif(p, QRectF(330, 40, 250, 130));
    QFont name("DejaVu Sans");
    name.setPixelSize(54);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Qt::white);
    p.drawText(QRectF(30, 40, 320, 80), Qt::AlignLeft | Qt::AlignVCenter, "LumiVEX");
    QFont sub("DejaVu Sans");
    sub.setPixelSize(16);
    p.setFont(sub);
    p.setPen(QColor(200, 220, 245));
    p.drawText(QRectF(32, 115, 320, 30), Qt::AlignLeft | Qt::AlignVCenter,
               "Visual exploration of sample behaviour");
    QFont terms("DejaVu Sans");
    terms.setPixelSize(11);
    p.setFont(terms);
    p.setPen(QColor(220, 228, 240));
    p.drawText(QRectF(32, 200, 545, 140), Qt::AlignLeft | Qt::TextWordWrap,
               "Terms of use: this program is provided as is, without warranty of any kind. "
               "It reads event logs and network captures of programs under analysis; run "
               "those programs only in an isolated machine. The authors are not liable for "
               "any damage arising from its use. By using it you accept these terms.");
    p.fillRect(QRectF(0, 352, 609, 30), Qt::white);
  });
  return 0;
}
