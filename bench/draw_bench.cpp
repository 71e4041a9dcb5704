// Drawing through the window-system layer against raw QPainter in the same run, offscreen at
// 1600 x 1000: (a) anti-aliased lines and text labels into an image, (b) showing a 2000 x 2000
// image in a canvas per frame, (c) a full-window alpha wash. Prints one table of times and
// ratios (layer / Qt).
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/drawing.h"
#include "platform/window_system.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;
constexpr int kLines = 10000;
constexpr int kLabels = 5000;
constexpr double kLineLength = 600;
constexpr int kBigSide = 2000;
constexpr int kFrames = 60;
constexpr uint32_t kWash = platform::Rgba(255, 255, 255, 220);

struct Line {
  double x1, y1, x2, y2;
  uint32_t colour;
};
struct Label {
  double x, y;
  std::string text;
};

// The same scene for both sides: lines of kLineLength pixels in random directions that start
// inside the image, and short labels like a graph's node names.
struct Scene {
  std::vector<Line> lines;
  std::vector<Label> labels;
};

Scene MakeScene() {
  Scene scene;
  std::mt19937 random(20261210);
  std::uniform_real_distribution<double> x(0, kWidth), y(0, kHeight), turn(0, 2 * M_PI);
  std::uniform_int_distribution<uint32_t> channel(0, 200);
  for (int i = 0; i < kLines; ++i) {
    double x1 = x(random), y1 = y(random), a = turn(random);
    scene.lines.push_back({x1, y1, x1 + kLineLength * std::cos(a), y1 + kLineLength * std::sin(a),
                           platform::Rgba(channel(random), channel(random), channel(random), 255)});
  }
  for (int i = 0; i < kLabels; ++i)
    scene.labels.push_back({x(random), y(random), "node " + std::to_string(i) + ".exe"});
  return scene;
}

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

QColor ToQColor(uint32_t c) {
  return QColor(int(platform::Red(c)), int(platform::Green(c)), int(platform::Blue(c)),
                int(platform::Alpha(c)));
}

void LayerScene(const Scene& scene, int image) {
  using namespace platform;
  StartVectorDrawing(ImageOutput(image));
  VectorFont(0, 12);
  for (const Line& line : scene.lines) {
    VectorSourceColor(line.colour);
    MovePathCursor(line.x1, line.y1);
    AddPathLine(line.x2, line.y2);
    StrokePath(1.0);
  }
  VectorSourceColor(Rgba(0, 0, 0, 255));
  for (const Label& label : scene.labels) {
    MovePathCursor(label.x, label.y);
    DrawVectorText(label.text);
  }
  StopVectorDrawing();
}

void QtScene(const Scene& scene, QImage& image) {
  QPainter painter(&image);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
  QFont font;
  font.setPixelSize(12);
  painter.setFont(font);
  const double ascent = QFontMetricsF(font, &image).ascent();
  for (const Line& line : scene.lines) {
    painter.setPen(QPen(ToQColor(line.colour), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(line.x1, line.y1), QPointF(line.x2, line.y2));
  }
  painter.setPen(Qt::black);
  for (const Label& label : scene.labels)
    painter.drawText(QPointF(label.x, label.y + ascent), QString::fromStdString(label.text));
}

// Qt's own way to show a frame: a widget that paints its premultiplied buffer.
class BufferWidget : public QWidget {
 public:
  QImage buffer{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, buffer);
  }
};

struct Row {
  const char* what;
  double layer, qt;
  const char* unit;
};

void Print(const std::vector<Row>& rows) {
  std::printf("%-52s %12s %12s %7s\n", "measure", "layer", "Qt", "ratio");
  for (const Row& r : rows)
    std::printf("%-52s %9.2f %-2s %9.2f %-2s %6.2fx\n", r.what, r.layer, r.unit, r.qt, r.unit,
                r.layer / r.qt);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: draw_bench   (offscreen unless QT_QPA_PLATFORM names a platform)\n");
    return 0;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  using namespace platform;
  std::vector<Row> rows;
  const Scene scene = MakeScene();

  // (a) Lines and labels into an image. Each side once unmeasured so fonts and glyph caches
  // are warm for both.
  {
    int image = CreateImage(kNewNumber, kWidth, kHeight, Rgba(255, 255, 255, 255));
    QImage raw(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    raw.fill(Qt::white);
    LayerScene(scene, image);
    QtScene(scene, raw);
    double layer = Seconds([&] { LayerScene(scene, image); });
    double qt = Seconds([&] { QtScene(scene, raw); });
    rows.push_back({"10,000 AA lines + 5,000 labels into an image", layer, qt, "s"});
    FreeImage(image);
  }

  // (b) A 2000 x 2000 picture shown in a full-window canvas, frame after frame; both sides
  // copy the picture into their buffer and get it painted.
  int window = OpenWindow(kNewNumber, 0, 0, kWidth, kHeight, "draw bench");
  int canvas = CanvasGadget(kNewNumber, 0, 0, kWidth, kHeight);
  {
    int picture = CreateImage(kNewNumber, kBigSide, kBigSide, Rgba(240, 240, 255, 255));
    // A picture drawn by the vector calls, as the graph's work image is.
    StartVectorDrawing(ImageOutput(picture));
    for (int i = 0; i < 200; ++i) {
      VectorSourceColor(Rgba(uint32_t(i), 0, uint32_t(255 - i), 255));
      AddPathEllipse(i * 10, i * 10, 40, 25);
      FillPath();
    }
    StopVectorDrawing();
    QImage rawPicture = ImageData(picture)->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    BufferWidget qtWidget;
    qtWidget.resize(kWidth, kHeight);
    qtWidget.show();
    QApplication::processEvents();
    auto layerFrame = [&](int frame) {
      StartDrawing(CanvasOutput(canvas));
      DrawImage(picture, -(frame % 300), -(frame % 200));
      StopDrawing();
      GadgetWidget(canvas)->repaint();
    };
    auto qtFrame = [&](int frame) {
      {
        QPainter painter(&qtWidget.buffer);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(-(frame % 300), -(frame % 200), rawPicture);
      }
      qtWidget.repaint();
    };
    layerFrame(0);
    qtFrame(0);
    double layer = Seconds([&] {
      for (int f = 1; f <= kFrames; ++f) layerFrame(f);
    });
    double qt = Seconds([&] {
      for (int f = 1; f <= kFrames; ++f) qtFrame(f);
    });
    rows.push_back({"2000 x 2000 picture shown in a canvas, per frame", layer * 1000 / kFrames,
                    qt * 1000 / kFrames, "ms"});
    FreeImage(picture);
  }

  // (c) The wash over the whole window: white at alpha 220, by a blended raster box and by a
  // vector box, on the canvas after vector drawing (as the graph view does it).
  {
    QImage raw(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    raw.fill(QColor(30, 90, 160));
    StartVectorDrawing(CanvasOutput(canvas));
    VectorSourceColor(Rgba(30, 90, 160, 255));
    AddPathBox(0, 0, kWidth, kHeight);
    FillPath();
    StopVectorDrawing();
    auto rasterWash = [&] {
      StartDrawing(CanvasOutput(canvas));
      DrawingMode(kDrawAlphaBlend);
      Box(0, 0, kWidth, kHeight, kWash);
      StopDrawing();
    };
    auto vectorWash = [&] {
      StartVectorDrawing(CanvasOutput(canvas));
      VectorSourceColor(kWash);
      AddPathBox(0, 0, kWidth, kHeight);
      FillPath();
      StopVectorDrawing();
    };
    auto qtWash = [&] {
      QPainter painter(&raw);
      painter.fillRect(QRect(0, 0, kWidth, kHeight), ToQColor(kWash));
    };
    rasterWash();
    vectorWash();
    qtWash();
    constexpr int kWashes = 20;
    double raster = Seconds([&] {
      for (int i = 0; i < kWashes; ++i) rasterWash();
    });
    double vector = Seconds([&] {
      for (int i = 0; i < kWashes; ++i) vectorWash();
    });
    double qt = Seconds([&] {
      for (int i = 0; i < kWashes; ++i) qtWash();
    });
    rows.push_back({"full-window wash, blended raster box", raster * 1000 / kWashes,
                    qt * 1000 / kWashes, "ms"});
    rows.push_back(
        {"full-window wash, vector box", vector * 1000 / kWashes, qt * 1000 / kWashes, "ms"});
  }
  CloseWindow(window);
  Print(rows);
  return 0;
}
