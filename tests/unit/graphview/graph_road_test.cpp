// The whole road from a Procmon log to the model, through the real converter and the real dot.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "graph_road_fixture.h"
#include "graphview/dot_attributes.h"
#include "graphview/edge_kinds.h"
#include "graphview/graph_inputs.h"
#include "graphview/graph_reading.h"
#include "graphview/graph_renderer.h"
#include "graphview/render_filter.h"
#include "platform/window_system.h"
#include "tolvek/memory.h"
#include "tolvek/process.h"
#include "tolvek/text_utils.h"

namespace graphview {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line.erase(0, line.find_first_not_of(' '));
    lines.push_back(line);
  }
  return lines;
}

bool IsEdgeLine(const std::string& line) {
  return line.find("\" -> \"") != std::string::npos;
}

// What the model must hold for any graph: every node and edge dot laid out, every edge line of
// the DOT file on its edge, and one frame per event line (renames aside).
void ExpectModelMatchesDot(const GraphModel& model, const std::string& graphDot,
                           const std::string& layoutDot, bool withRenames) {
  const GraphLayout& L = model.layout;
  size_t nodeLines = 0, edgeLines = 0;
  for (const std::string& line : Lines(layoutDot)) {
    if (line.empty() || line[0] != '"') continue;
    if (IsEdgeLine(line)) {
      ++edgeLines;
    } else {
      ++nodeLines;
      std::string id = line.substr(1, line.find("\"   [") - 1);
      const GraphNode* node = L.FindNode(id);
      ASSERT_NE(node, nullptr) << id;
      EXPECT_GT(node->width, 0) << id;
      EXPECT_GT(node->height, 0) << id;
      EXPECT_GE(node->x, 0);
      EXPECT_LE(node->x, L.width);
      EXPECT_GE(node->y, 0);
      EXPECT_LE(node->y, L.height);
    }
  }
  EXPECT_EQ(L.nodes.size(), nodeLines);
  EXPECT_EQ(L.edges.size(), edgeLines);

  std::multiset<std::string> edgeLinesKept;
  for (const GraphEdge& e : L.edges) {
    EXPECT_GE(e.points.size(), 4u) << e.plainLine;
    int kind = GetEdgeType(e.plainLine);
    EXPECT_GT(kind, 0) << e.plainLine;
    if (kind == EDGETYPE_HasThread || kind == EDGETYPE_IsBasedOn) {
      EXPECT_TRUE(e.dotLine.empty());
      continue;
    }
    ASSERT_FALSE(e.dotLine.empty()) << e.plainLine;
    edgeLinesKept.insert(std::string(e.dotLine));
    size_t pen = e.dotLine.find("penwidth = ");
    if (pen != std::string_view::npos) {
      EXPECT_EQ(e.penWidth, std::stoi(std::string(e.dotLine.substr(pen + 11))));
    }
  }
  size_t events = 0, firsts = 0;
  for (const std::string& line : Lines(graphDot)) {
    if (!IsEdgeLine(line)) continue;
    int kind = GetEdgeType(line);
    if (kind == EDGETYPE_HasThread || kind == EDGETYPE_IsBasedOn) continue;
    bool repeat = line.rfind("// ", 0) == 0;
    if (!repeat) {
      EXPECT_EQ(edgeLinesKept.count(line), 1u) << line;
    }
    if (kind >= EDGETYPE_RenameFrom && kind <= EDGETYPE_Rename) continue;
    ++events;
    firsts += !repeat;
  }
  if (withRenames) {
    EXPECT_GT(model.Frames.size(), events);
  } else {
    EXPECT_EQ(model.Frames.size(), events);
  }
  GraphModel counting;
  counting.Frames = model.Frames;
  counting.TimelineMode = 1;
  EXPECT_LE(CountVisibleFrames(counting), static_cast<int64_t>(firsts + withRenames));
  for (const TimelineFrame& f : model.Frames) {
    for (const GraphNode* n : f.nodeRefs) EXPECT_NE(n, nullptr);
    for (const GraphEdge* e : f.edgeRefs) EXPECT_NE(e, nullptr);
    EXPECT_GE(f.relTime, 0) << f.timestamp;  // one morning's log
  }
  EXPECT_TRUE(model.view.layoutImage.IsSet());
}

TEST_F(GraphRoad, SampleLogWithItsCapture) {
  Result r = Refresh(fs::path(LUMIVEX_LAUNCHED_SAMPLE),
                     std::string(LUMIVEX_SOURCE_DIR) + "/resources/sample_capture.txt", {});
  ASSERT_EQ(r.status, GraphReadStatus::kOk);
  ExpectModelMatchesDot(m_model, r.graphDot, r.layoutDot, false);
  const GraphLayout& L = m_model.layout;
  for (const char* id :
       {"PROCESS:3120-n3", "PROCESS:2412-o1", "THREAD:3120-n3:3124-n1",
        "FILE:c:\\\\users\\\\bob\\\\appdata\\\\roaming\\\\winupdate\\\\wuauhelper.exe",
        "REGISTRYKEY:hkcu\\\\software\\\\microsoft\\\\windows\\\\currentversion\\\\run\\\\"
        "winupdatehelper",
        "SERVER:203.0.113.50", "SERVER:192.168.56.101"}) {
    EXPECT_NE(L.FindNode(id), nullptr) << id;
  }
  EXPECT_EQ(L.FindNode("SERVER:192.168.56.101")->onlyInCapture, 1);
  EXPECT_EQ(L.FindNode("SERVER:203.0.113.50")->onlyInCapture, 0);
  EXPECT_EQ(L.FindNode("PROCESS:2412-o1")->fontcolor, "white");
  ASSERT_FALSE(m_model.Frames.empty());
  EXPECT_EQ(m_model.Frames[0].message,
            "Thread 3124-n1 of process \"invoice_0419.exe\" (PID: 3120) loads file "
            "\"C:\\Users\\bob\\Downloads\\invoice_0419.exe\" as module");
  EXPECT_EQ(m_model.Frames[0].timestamp, "9:41:03,4471290");
  EXPECT_EQ(m_model.FirstEventTime, TimeValue("9:41:03.4471290 AM"));
  std::vector<int64_t> visible;
  for (int8_t mode : {3, 2, 1}) {
    m_model.TimelineMode = mode;
    visible.push_back(CountVisibleFrames(m_model));
  }
  EXPECT_GT(visible[0], visible[1]);  // a repeat directly after its event
  EXPECT_GT(visible[1], visible[2]);  // a repeat of an earlier event
}

TEST_F(GraphRoad, RenderOptionsDropNodesButKeepRenameTargets) {
  fs::path csv = m_dir / "renames.csv";
  WriteBytes(csv, ReadBytes(fs::path(LUMIVEX_LAUNCHED_SAMPLE)) +
                      "\"9:41:05.2 AM\",\"invoice_0419.exe\",\"3120\",\"SetRenameInformationFile\","
                      "\"C:\\Users\\bob\\a.tmp\",\"SUCCESS\",\"ReplaceIfExists: True, FileName: "
                      "C:\\Users\\bob\\b.exe\",\"3124\"\r\n");
  Result r = Refresh(csv, "", {.registry = false, .filesLoads = false}, "Long");
  ASSERT_EQ(r.status, GraphReadStatus::kOk);
  ExpectModelMatchesDot(m_model, r.graphDot, r.layoutDot, true);
  EXPECT_EQ(r.graphDot.find("REGISTRY"), std::string::npos);
  EXPECT_NE(r.graphDot.find("\"FILE:c:\\\\users\\\\bob\\\\b.exe\"   ["), std::string::npos);
  // The loaded image lost its only edge: gone from the graph file, laid out unconnected.
  const char* image = "FILE:c:\\\\users\\\\bob\\\\downloads\\\\invoice_0419.exe";
  EXPECT_EQ(r.graphDot.find(std::string("\"") + image + "\"   ["), std::string::npos);
  const GraphNode* unconnected = m_model.layout.FindNode(image);
  ASSERT_NE(unconnected, nullptr);
  EXPECT_TRUE(unconnected->fontcolor.empty());
  EXPECT_NE(r.layoutDot.find("[label = \"create file\", "), std::string::npos);
  EXPECT_NE(r.layoutDot.find("[label = \"kill foreign process\", "), std::string::npos);
  bool renameFrame = false;
  for (const TimelineFrame& f : m_model.Frames) {
    if (f.message ==
        "Thread 3124-n1 of process \"invoice_0419.exe\" (PID: 3120) renames file "
        "\"C:\\Users\\bob\\a.tmp\" to \"C:\\Users\\bob\\b.exe\"") {
      renameFrame = true;
      EXPECT_EQ(f.edgeRefs.size(), 4u);
    }
  }
  EXPECT_TRUE(renameFrame);
}

// The sample as the monitor exports it, with its own start chosen as the launcher: the copy
// holds the rows the converter follows, as the tests' launched sample does.
TEST_F(GraphRoad, LauncherCopyAddsTheRowsTheConverterFollows) {
  const std::string exported =
      ReadBytes(fs::path(LUMIVEX_SOURCE_DIR) / "resources/sample_procmon.csv");
  ASSERT_EQ(exported.find("KALVO_EXECUTES_SAMPLE"), std::string::npos);
  const size_t start =
      exported.rfind("\r\n", exported.find("\"invoice_0419.exe\",\"3120\",\"Process Start\"")) + 2;
  LauncherCopy copy = BuildLauncherCopy(exported, std::to_string(start) + "|3120|invoice_0419.exe");
  ASSERT_TRUE(copy.ok) << copy.message;
  EXPECT_EQ(copy.bytes, ReadBytes(fs::path(LUMIVEX_LAUNCHED_SAMPLE)));
  fs::path csv = m_dir / "launched.csv";
  WriteBytes(csv, copy.bytes);
  Result r = Refresh(csv, "", {});
  ASSERT_EQ(r.status, GraphReadStatus::kOk);
  EXPECT_NE(r.converterOutput.find("Launcher found: PID 3120-n3"), std::string::npos)
      << r.converterOutput;
}

// Without a launcher the converter follows no sample in these logs; the dumb mode draws every
// process.
TEST_F(GraphRoad, RealLogsFromTheSharedData) {
  for (const char* name :
       {"CompressedLogFileUTC64Process.csv.gz", "CompressedLogFileUTC64Registry.csv.gz"}) {
    fs::path gz = fs::path(LUMIVEX_SHARED_DATA) / "procmon" / name;
    if (!fs::exists(gz)) GTEST_SKIP() << "no real log at " << gz;
    SCOPED_TRACE(name);
    fs::path csv = m_dir / "real.csv";
    WriteBytes(csv, RunToEnd("gzip", {"-dc", gz.string()}, m_dir));
    Result r = Refresh(csv, "", {}, "Default", {.dumb = true});
    ASSERT_EQ(r.status, GraphReadStatus::kOk);
    ExpectModelMatchesDot(m_model, r.graphDot, r.layoutDot, false);
    EXPECT_GT(m_model.layout.nodes.size(), 50u);
    EXPECT_FALSE(m_model.Frames.empty());
  }
}

// The sample's times moved to the afternoon, and across midnight: every frame keeps the
// relative time it has in the morning, and its time field shows that.
TEST_F(GraphRoad, AfternoonAndMidnightLogsKeepTheirRelativeTimes) {
  const fs::path sample = fs::path(LUMIVEX_LAUNCHED_SAMPLE);
  const std::string morning = ReadBytes(sample);
  std::string midnight = morning;
  // 9:41:02 to 9:41:05 become 11:59:58 PM to 12:00:01 AM.
  const std::pair<const char*, const char*> moves[] = {{"9:41:02.(\\d+) AM", "11:59:58.$1 PM"},
                                                       {"9:41:03.(\\d+) AM", "11:59:59.$1 PM"},
                                                       {"9:41:04.(\\d+) AM", "12:00:00.$1 AM"},
                                                       {"9:41:05.(\\d+) AM", "12:00:01.$1 AM"}};
  for (const auto& [from, to] : moves) {
    midnight = std::regex_replace(midnight, std::regex(from), to);
  }
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"afternoon", std::regex_replace(morning, std::regex(" AM\""), " PM\"")},
      {"midnight", midnight},
  };

  // The time field of frame i, as the renderer fills it.
  auto field = [&](int64_t i) {
    RenderSettings settings;
    settings.draw.canvasWidth = 300;
    settings.draw.canvasHeight = 200;
    m_model.view.currentFrame = i;
    return GraphRenderer(false).Redraw(m_model, settings, true).frameTimestamp;
  };
  ASSERT_EQ(Refresh(sample, "", {}).status, GraphReadStatus::kOk);
  ASSERT_EQ(CountVisibleFrames(m_model), static_cast<int64_t>(m_model.Frames.size()));
  std::vector<double> times;
  for (const TimelineFrame& f : m_model.Frames) times.push_back(f.relTime);
  const int64_t last = static_cast<int64_t>(times.size()) - 1;
  const std::vector<std::string> shown = {field(1), field(last)};
  ASSERT_GT(times.back(), 1.0);
  EXPECT_EQ(shown.back(), FormatRelativeTime(times.back()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.text, morning);
    const fs::path csv = m_dir / "moved.csv";
    WriteBytes(csv, c.text);
    ASSERT_EQ(Refresh(csv, "", {}).status, GraphReadStatus::kOk);
    ASSERT_EQ(m_model.Frames.size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) {
      const TimelineFrame& f = m_model.Frames[i];
      EXPECT_NEAR(f.relTime, times[i], 1e-6) << i << " " << f.timestamp;
    }
    EXPECT_EQ((std::vector<std::string>{field(1), field(last)}), shown);
  }
}

// A process named with a tab and a writing-direction mark: the canvas writes both out, and
// dot must size the boxes for that longer text, or the one label that does not fit its box
// drives the zoom all labels share and every other label shrinks. The same sample with the
// name already written out is the measure.
TEST_F(GraphRoad, AHiddenCharacterInANameLeavesTheOtherLabelsTheirSize) {
  const std::string sample = ReadBytes(fs::path(LUMIVEX_LAUNCHED_SAMPLE));
  ASSERT_NE(sample.find("invoice_0419.exe"), std::string::npos);
  struct Drawn {
    double maxZoom = 0, smartFontSize = 0, fitZoom = 0;
    int64_t explorerAtFit = 0;  // the fitted pixel size of another process's label
    std::string hostileLabel;
  };
  auto draw = [&](const char* name) {
    Drawn d;
    const fs::path csv = m_dir / "renamed.csv";
    WriteBytes(csv, tolvek::ReplaceAll(sample, "invoice_0419.exe", name));
    EXPECT_EQ(Refresh(csv, "", {}).status, GraphReadStatus::kOk);
    RenderSettings settings;
    settings.draw.graphFont = platform::LoadFont(platform::kNewNumber, "Times-Roman", 10);
    settings.draw.canvasWidth = 1600;
    settings.draw.canvasHeight = 1000;
    GraphRenderer(false).Redraw(m_model, settings, true);
    d.maxZoom = m_model.view.maxZoom;
    d.smartFontSize = m_model.layout.smartFontSize;
    d.fitZoom = m_model.view.fitZoom;
    for (const GraphNode& node : m_model.layout.nodes) {
      if (node.label.starts_with("Explorer.EXE")) {
        EXPECT_EQ(node.fontFitCache.size(), 1u);
        if (!node.fontFitCache.empty()) d.explorerAtFit = node.fontFitCache.begin()->second;
      }
      if (node.label.find("voice") != std::string::npos &&
          node.label.find("PID") != std::string::npos) {
        d.hostileLabel = node.label;
      }
    }
    return d;
  };
  const Drawn plain = draw("in_0x09_voice_0x202E_txt.exe");
  const Drawn hostile = draw("in\tvoice\u202Etxt.exe");
  EXPECT_GT(plain.explorerAtFit, 0);
  EXPECT_EQ(hostile.maxZoom, plain.maxZoom);
  EXPECT_DOUBLE_EQ(hostile.smartFontSize, plain.smartFontSize);
  EXPECT_DOUBLE_EQ(hostile.fitZoom, plain.fitZoom);
  EXPECT_EQ(hostile.explorerAtFit, plain.explorerAtFit);
  // The model holds the label as drawn, so messages and searches meet the same text.
  EXPECT_EQ(hostile.hostileLabel, plain.hostileLabel);
  EXPECT_NE(hostile.hostileLabel.find("in_0x09_voice_0x202E_txt.exe"), std::string::npos);
}

}  // namespace
}  // namespace graphview
