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

#include <algorithm>

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
#include "workbench/gadgets.h"
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

// A call-out: its number and note, and the gadgets its mark points at (the mark sits on the
// middle of all of them).
struct CallOut {
  const char* note;
  std::vector<int> gadgets;
};

// The workbench's main window with numbered call-outs along the right; each mark sits on the
// control it explains, where the real window placed it.
bool MakeQuickHelp(const std::string& folder, int argc, char** argv) {
  using namespace workbench;
  char home[] = "/tmp/lumivex-help-XXXXXX";
  if (!mkdtemp(home)) return false;
  setenv("HOME", home, 1);
  lumivex_testing::PrepareQuietHome(home);
  static int64_t now = 0;
  platform::SetClock([] { return now += 100; });
  char* args[] = {argv[0], nullptr};
  (void)argc;
  workbench::StartUp(1, args);
  platform::ResizeWindow(Window_Main, 0, 0, 760, 640);
  for (int i = 0; i < 10; ++i) workbench::MainLoopTurn();
  QWidget* window = platform::WindowWidget(Window_Main);
  QImage shot = window->grab().toImage();

  const std::vector<CallOut> callOuts = {
      {"CSV log of Process Monitor (its CSV export; the native format is not read)",
       {String_Main_ProcmonFile}},
      {"Optional capture: tcpdump text or a .pcap file", {String_Main_WindumpFile}},
      {"Force ASCII: read the log as ASCII text", {Button_Main_ForceAscii}},
      {"Modes: no paths, compressed, dumb",
       {Checkbox_Main_ModeNoPaths, Checkbox_Main_ModeCompressed, Checkbox_Main_ModeDumb}},
      {"Launcher process and the button that picks it",
       {String_Main_Launcher, Button_Main_Launcher}},
      {"Render options", {Button_Main_RenderingOptions}},
      {"Refresh (F5) draws the graph", {Button_Main_Refresh}},
      {"Graph: drag to move, click to mark, double click to zoom, wheel to zoom",
       {Canvas_Main_Graph}},
      {"Frames mode on and off", {Button_Main_AnimationShow}},
      {"Frame buttons: first, previous, play, stop, next, last",
       {Button_Main_AnimationFirst, Button_Main_AnimationLast}},
      {"Timeline strip: one frame per relevant activity, coloured by its main actors; red "
       "line: the current frame; hits and selected nodes highlighted; the left button moves "
       "through the frames",
       {Canvas_Main_AnimationFrames}},
      {"Speed in frames per second", {Combo_Main_AnimationFPS}},
      {"The frame's description", {String_Main_FrameMessage}},
      {"Cycles the three timeline modes",
       {Button_Main_AnimationFramesAll, Button_Main_AnimationFramesAllRle,
        Button_Main_AnimationFramesUnique}},
  };
  // Where each mark goes on the window, before the picture is scaled.
  std::vector<QPoint> at;
  for (const CallOut& c : callOuts) {
    // Of a stack of buttons only the one shown counts.
    QRect around;
    for (int gadget : c.gadgets) {
      QWidget* w = platform::GadgetWidget(gadget);
      if (w && w->isVisible()) around |= QRect(w->mapTo(window, QPoint(0, 0)), w->size());
    }
    if (around.isNull()) {
      std::fprintf(stderr, "the control of \"%s\" is not shown\n", c.note);
      return false;
    }
    at.push_back(around.center());
  }
  std::filesystem::remove_all(home);

  QImage help(1034, 711, QImage::Format_ARGB32);
  help.fill(Qt::white);
  QPainter p(&help);
  p.setRenderHint(QPainter::Antialiasing);
  QImage scaled = shot.scaled(740, 691, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  const QPoint origin(10, 10);
  p.drawImage(origin, scaled);
  const double scale = static_cast<double>(scaled.width()) / shot.width();
  QFont f("DejaVu Sans");
  f.setPixelSize(12);
  QFont markFont("DejaVu Sans");
  markFont.setPixelSize(11);
  markFont.setBold(true);
  auto mark = [&](QPoint centre, int n) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(centre, 10, 10);
    p.setPen(Qt::white);
    p.setFont(markFont);
    p.drawText(QRect(centre.x() - 10, centre.y() - 10, 20, 20), Qt::AlignCenter,
               QString::number(n));
  };
  int y = 20;
  for (size_t i = 0; i < callOuts.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    QRect box(790, y, 240, 200);
    p.setFont(f);
    QRect used = p.boundingRect(box, Qt::AlignLeft | Qt::TextWordWrap, callOuts[i].note);
    p.setPen(QColor(40, 52, 72));
    p.drawText(box, Qt::AlignLeft | Qt::TextWordWrap, callOuts[i].note);
    mark(QPoint(774, y + 8), n);
    mark(origin + QPoint(static_cast<int>(at[i].x() * scale), static_cast<int>(at[i].y() * scale)),
         n);
    y += std::max(used.height(), 20) + 14;
  }
  p.end();
  if (y > 711) std::fprintf(stderr, "the notes run %d pixels past the picture\n", y - 711);
  return y <= 711 && help.save(QString::fromStdString(folder + "/quick_help.png"));
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
