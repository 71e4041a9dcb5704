// Makes the Help menu's two explanatory pictures into the folder given on the command line:
// legend.png from what the graph renderer really draws (each row a small graph in the
// converter's own DOT attributes, laid out by the real dot and drawn by the renderer), and
// quick_help.png from a screenshot of the workbench with call-outs. The PNG files are kept
// in the repository; run this (under xvfb-run or offscreen) only when the drawing changes:
//   build/debug/bin/help_pictures resources/pictures
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphview/graph_reading.h"
#include "graphview/graph_renderer.h"
#include "gui/gadget_screenshot.h"
#include "platform/drawing.h"
#include "platform/window_system.h"
#include "quiet_home.h"
#include "workbench/main_loop.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace {

constexpr int kWidth = 585, kHeight = 849;
constexpr int kRow = 46, kTop = 44, kDrawing = 230;

struct Row {
  std::string dot;  // the statements of the row's graph
  const char* item;
  const char* meaning;
};

// Statements as the converter writes them, so the renderer reads their colours, label
// colours and pen widths as it does in a real graph.
std::string Node(const std::string& id, const std::string& label, const std::string& attributes) {
  return "  \"" + id + "\"   [label = \"" + label + "\", " + attributes + "];\n";
}
std::string Edge(const std::string& attributes) {
  const std::string ends = "shape = box, style = filled, fillcolor = black, fontcolor = white";
  return Node("PROCESS:a", "a", ends) + Node("PROCESS:b", "b", ends) +
         "  \"PROCESS:a\" -> \"PROCESS:b\"    [label = \"\", " + attributes + "];\n";
}

const std::vector<Row> kRows = {
    {Node("PROCESS:s", "sample.exe",
          "shape = box, style = filled, fillcolor = black, fontcolor = white"),
     "process, black", "created during monitoring"},
    {Node("PROCESS:e", "explorer.exe",
          "shape = box, style = filled, fillcolor = gray, fontcolor = white"),
     "process, grey", "created before monitoring"},
    {Node("THREAD:t", "TID 1234",
          "shape = diamond, style = filled, fillcolor = black, fontcolor = white, color = gold"),
     "thread (diamond)", "fill as for processes; golden outline: main thread"},
    {Node("PROCESS:k", "killed.exe",
          "shape = box, style = filled, fillcolor = black, fontcolor = red"),
     "red label text", "killed during monitoring (white: still alive)"},
    {Node("SERVER:s", "10.0.0.1:80 [1]",
          "shape = oval, style = filled, fillcolor = blue, fontcolor = white"),
     "server, blue oval", "[n]: the order of contact"},
    {Node("FILE:f", "dropped.dll",
          "shape = note, style = filled, fillcolor = orange, fontcolor = black"),
     "file, orange note", "a file or group of files; red text: deleted"},
    {Node("FILE:v", "run.exe", "shape = box, style = filled, fillcolor = red, fontcolor = black"),
     "file set as registry value", "creation unknown; may be a URL"},
    {Node("REGISTRY:r", "Run",
          "shape = tab, style = filled, fillcolor = yellow, fontcolor = black"),
     "registry key, yellow tab", "a key, or a group of keys"},
    {Edge("style = bold, arrowhead = vee, fontcolor = green, color = green, penwidth = 1"),
     "edge green", "read, get, receive"},
    {Edge("style = bold, arrowhead = vee, fontcolor = red, color = red, penwidth = 5"),
     "edge red (thicker)", "write, set, send; thicker: more log records"},
    {Edge("style = bold, arrowhead = vee, fontcolor = magenta, color = magenta, penwidth = 1"),
     "edge magenta", "create or rename (dashed initiator)"},
    {Edge("style = bold, arrowhead = vee, fontcolor = magenta, color = magenta, penwidth = 7"),
     "edge magenta, thick", "injection: thread in another process"},
    {Edge("style = solid, arrowhead = none, fontcolor = gray, color = gray, penwidth = 1"),
     "edge black / grey", "process owns thread (during / before)"},
    {Edge("style = bold, arrowhead = vee, fontcolor = yellow, color = yellow, penwidth = 1"),
     "edge yellow", "file or URL set as a key's value"},
    {Edge("style = bold, arrowhead = none, fontcolor = black, color = black, penwidth = 1"),
     "edge black", "main module of a process"},
    {Edge("style = bold, arrowhead = vee, fontcolor = orange, color = orange, penwidth = 1"),
     "edge orange", "delete or kill"},
    {Edge(
         "style = bold, arrowhead = vee, fontcolor = blueviolet, color = blueviolet, penwidth = 1"),
     "edge blueviolet", "additional module of a thread"},
};

// The row's graph through dot and the renderer, fitted into w x h.
QImage RenderRow(const Row& row, int w, int h, int font) {
  std::string dot = "digraph G {\n  rankdir = LR; ranksep = 1.4;\n" + row.dot + "}\n";
  QProcess process;
  process.start("dot", {"-Tplain"});
  process.write(dot.data(), static_cast<qint64>(dot.size()));
  process.closeWriteChannel();
  process.waitForFinished(10000);
  std::string plain = process.readAllStandardOutput().toStdString();
  graphview::GraphModel model;
  if (graphview::ReadGraph(model, plain, dot) != graphview::GraphReadStatus::kOk) return {};
  graphview::RenderSettings settings;
  settings.draw.graphFont = font;
  settings.draw.canvasWidth = w;
  settings.draw.canvasHeight = h;
  settings.stripWidth = 10;
  settings.stripHeight = 10;
  graphview::GraphRenderer renderer;
  graphview::RenderOutput out = renderer.Redraw(model, settings, true);
  if (out.empty || !out.display) return {};
  return platform::ImageData(out.display)->copy();
}

bool MakeLegend(const std::string& folder) {
  int font = platform::LoadFont(platform::kNewNumber, "Times-Roman", 10);
  QImage legend(kWidth, kHeight, QImage::Format_ARGB32);
  legend.fill(Qt::white);
  QPainter p(&legend);
  p.setRenderHint(QPainter::Antialiasing);
  QFont title("DejaVu Sans");
  title.setPixelSize(18);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(40, 52, 72));
  p.drawText(QRect(10, 8, kWidth - 20, 28), Qt::AlignLeft | Qt::AlignVCenter, "Graph legend");
  QFont item("DejaVu Sans");
  item.setPixelSize(12);
  item.setBold(true);
  QFont meaning("DejaVu Sans");
  meaning.setPixelSize(11);
  int y = kTop;
  for (const Row& row : kRows) {
    QImage drawing = RenderRow(row, kDrawing - 20, kRow - 6, font);
    if (drawing.isNull()) {
      std::fprintf(stderr, "row \"%s\" did not render\n", row.item);
      return false;
    }
    p.drawImage(10, y + 3, drawing);
    p.setPen(QColor(40, 40, 40));
    p.setFont(item);
    p.drawText(QRect(kDrawing, y + 4, kWidth - kDrawing - 8, 18), Qt::AlignLeft, row.item);
    p.setFont(meaning);
    p.drawText(QRect(kDrawing, y + 22, kWidth - kDrawing - 8, 18), Qt::AlignLeft, row.meaning);
    p.setPen(QColor(225, 225, 225));
    p.drawLine(10, y + kRow, kWidth - 10, y + kRow);
    y += kRow;
  }
  p.end();
  return legend.save(QString::fromStdString(folder + "/legend.png"));
}

// The workbench's main window with numbered call-outs along the right.
bool MakeQuickHelp(const std::string& folder, int argc, char** argv) {
  char home[] = "/tmp/lumivex-help-XXXXXX";
  if (!mkdtemp(home)) return false;
  setenv("HOME", home, 1);
  lumivex_testing::PrepareQuietHome(home);
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });
  char* args[] = {argv[0], nullptr};
  (void)argc;
  workbench::StartUp(1, args);
  platform::ResizeWindow(workbench::Window_Main, 0, 0, 760, 640);
  for (int i = 0; i < 10; ++i) workbench::MainLoopTurn();
  QImage shot = platform::WindowWidget(workbench::Window_Main)->grab().toImage();
  std::filesystem::remove_all(home);

  QImage help(1034, 711, QImage::Format_ARGB32);
  help.fill(Qt::white);
  QPainter p(&help);
  p.setRenderHint(QPainter::Antialiasing);
  p.drawImage(QRect(10, 10, 740, 691),
              shot.scaled(740, 691, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  const char* notes[] = {
      "1  CSV log of Process Monitor (its CSV export; the native format is not read)",
      "2  Optional capture: tcpdump text or a .pcap file",
      "3  Force ASCII; no paths, compressed and dumb modes",
      "4  Launcher process and the button that picks it",
      "5  Render options",
      "6  Refresh (F5) draws the graph",
      "7  Graph: drag to move, click to mark, double click to zoom, wheel to zoom",
      "8  Frames mode and the frame buttons",
      "9  Timeline strip (below the graph once drawn): one frame per relevant activity, "
      "coloured by its main actors; red line: the current frame; hits and selected nodes "
      "highlighted; the left button moves through the frames",
      "10 Speed in frames per second",
      "11 The frame's description",
      "12 Cycles the three timeline modes",
  };
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  p.setFont(f);
  p.setPen(QColor(40, 52, 72));
  int y = 20;
  for (const char* note : notes) {
    QRect box(760, y, 270, 200);
    QRect used = p.boundingRect(box, Qt::AlignLeft | Qt::TextWordWrap, note);
    p.drawText(box, Qt::AlignLeft | Qt::TextWordWrap, note);
    y += used.height() + 16;
  }
  // The numbers on the screenshot, where the controls sit in the window as laid out above.
  const struct {
    int n, x, y;
  } marks[] = {{1, 220, 48},  {2, 230, 106},  {3, 430, 106},  {4, 510, 48},
               {5, 589, 110}, {6, 711, 100},  {7, 380, 380},  {8, 80, 640},
               {9, 380, 630}, {10, 685, 640}, {11, 560, 672}, {12, 740, 640}};
  QFont markFont("DejaVu Sans");
  markFont.setPixelSize(11);
  markFont.setBold(true);
  p.setFont(markFont);
  for (const auto& m : marks) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPoint(m.x, m.y), 10, 10);
    p.setPen(Qt::white);
    p.drawText(QRect(m.x - 10, m.y - 10, 20, 20), Qt::AlignCenter, QString::number(m.n));
  }
  p.end();
  return help.save(QString::fromStdString(folder + "/quick_help.png"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: help_pictures FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  platform::EnsureApplication(argc, argv);
  bool ok = MakeLegend(folder) && MakeQuickHelp(folder, argc, argv);
  std::printf("%s\n", ok ? "pictures written" : "failed");
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
