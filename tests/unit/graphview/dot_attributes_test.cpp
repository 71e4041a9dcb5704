#include "graphview/dot_attributes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "graphview/edge_kinds.h"
#include "graphview/graph_reading.h"

namespace graphview {
namespace {

std::string E(const std::string& tail, const std::string& head, const std::string& label,
              const std::string& style, const std::string& color, const std::string& time,
              int pen = 1) {
  return "  \"" + tail + "\" -> \"" + head + "\"    [label = \"" + label + "\", style = " + style +
         ", arrowhead = vee, fontcolor = " + color + ", color = " + color +
         ", penwidth = " + std::to_string(pen) + "]; // " + time + "\r\n";
}
std::string Repeat(const std::string& line) {
  return "//" + line.substr(1);
}
std::string N(const std::string& id, const std::string& label, const std::string& fontcolor,
              const std::string& time = "1:00:00 PM") {
  return "  \"" + id + "\"   [label = \"" + label + "\", shape = box, fontcolor = " + fontcolor +
         ", color = black]; // " + time + "\r\n";
}

// The text of the quoted string starting at line[open], escapes kept.
std::string Quoted(const std::string& line, size_t open) {
  size_t i = open + 1;
  while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
  return line.substr(open + 1, i - open - 1);
}

// The plain layout dot writes for the DOT text: every node and edge line that is no repeat,
// one control point per edge.
std::string PlainFor(const std::string& dot) {
  std::string plain = "graph 1 20 10\n";
  std::istringstream in(dot);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line.erase(0, line.find_first_not_of(' '));
    if (line.empty() || line[0] != '"') continue;
    if (line.find("\" -> \"") != std::string::npos) {
      EdgeLineParts p;
      if (!ParseEdgeLine(line, p)) continue;
      plain += "edge \"" + p.tail + "\" \"" + p.head + "\" 1 1 1 " +
               (p.label.empty() ? "" : "\"" + p.label + "\" 2 2 ") + p.style + " " + p.color + "\n";
    } else {
      plain += "node \"" + Quoted(line, 0) + "\" 1 1 1 1 \"" +
               Quoted(line, line.find("[label = \"") + 9) + "\" filled box black gray\n";
    }
  }
  return plain;
}

std::vector<std::string> Messages(const GraphModel& model) {
  std::vector<std::string> messages;
  for (const TimelineFrame& f : model.Frames) messages.push_back(f.message);
  return messages;
}

const std::string kHead = "digraph G {\r\n  rankdir = LR;\r\n\r\n";
const std::string kT = "THREAD:200-n1:201-n1";
const std::string kMalware = "PROCESS:200-n1";
const std::string kWrite = E(kT, "FILE:c:\\\\out.txt", "", "bold", "red", "1:00:02.25 PM", 3);
const std::string kSend1 =
    E(kMalware, "SERVER:1.2.3.4", "TCP 49712>80", "bold", "red", "1:00:06 PM", 2);
const std::string kSend2 =
    E(kMalware, "SERVER:1.2.3.4", "TCP 49713>4444", "bold", "red", "1:00:07 PM", 5);

const std::string kEvents =
    kHead + N("PROCESS:100-o1", "explorer.exe\\n(PID: 100)", "white", "1:00:00.5 PM") +
    N(kMalware, "[1]\\nmal.exe\\n(PID: 200)", "red") +
    E(kMalware, kT, "has thread", "solid", "black", "1:00:01 PM") + N(kT, "201", "white") +
    E(kMalware, "FILE:c:\\\\mal.exe", "", "bold", "black", "1:00:01 PM") +
    N("FILE:c:\\\\mal.exe", "C:\\\\mal.exe", "black") + kWrite +
    N("FILE:c:\\\\out.txt", "C:\\\\out.txt", "black") +
    Repeat(E(kT, "FILE:c:\\\\out.txt", "", "bold", "red", "1:00:02.5 PM", 1)) +
    E(kT, "FILE:GRAFX", "", "bold", "green", "1:00:03 PM") + N("FILE:GRAFX", "GRAFX", "black") +
    Repeat(E(kT, "FILE:c:\\\\out.txt", "", "bold", "red", "1:00:04 PM", 7)) +
    E(kT, "PROCESS:300-n2", "create process", "bold", "magenta", "1:00:05 PM") +
    N("PROCESS:300-n2", "[2]\\ncmd.exe\\n(PID: 300)", "red") +
    E("PROCESS:300-n2", "FILE:c:\\\\cmd.exe", "", "bold", "black", "1:00:05 PM") +
    N("FILE:c:\\\\cmd.exe", "C:\\\\cmd.exe", "black") +
    E(kT, "REGISTRYKEY:hkcu\\\\run\\\\x", "", "bold", "red", "1:00:05.5 PM") +
    N("REGISTRYKEY:hkcu\\\\run\\\\x", "HKCU\\\\Run\\\\x\\n(AUTOSTART!)", "black") +
    E(kT, "REGISTRY", "", "bold", "green", "1:00:05.75 PM") + N("REGISTRY", "REGISTRY", "black") +
    kSend1 + N("SERVER:1.2.3.4", "[1]\\nhost.example\\n1.2.3.4", "white") + kSend2 +
    E(kMalware, "SERVER:5.6.7.8", "HTTPS", "bold", "green", "1:00:08 PM") +
    N("SERVER:5.6.7.8", "[2]\\n5.6.7.8", "white") +
    E(kT, "THREAD:100-o1:150-n3", "inject thread", "bold", "magenta", "1:00:09 PM") +
    E("PROCESS:100-o1", "THREAD:100-o1:150-n3", "has thread", "solid", "gray", "1:00:09 PM") +
    N("THREAD:100-o1:150-n3", "150", "white") +
    E(kT, "THREAD:200-n1:202-n2", "create thread", "bold", "magenta", "1:00:10 PM") +
    E(kMalware, "THREAD:200-n1:202-n2", "has thread", "solid", "black", "1:00:10 PM") +
    N("THREAD:200-n1:202-n2", "202", "white") +
    E(kT, "PROCESS:100-o1", "kill foreign process", "bold", "orange", "1:00:11 PM") +
    N("PROCESS:400-o2", "late.exe\\n(PID: 400)", "blue") +
    E("REGISTRYKEY:hkcu\\\\run\\\\x", "FILE:c:\\\\out.txt", "set as value", "bold", "yellow",
      "1:00:12 PM") +
    E(kT, "FILE:CSS", "loads", "bold", "blueviolet", "1:00:13 PM") + N("FILE:CSS", "CSS", "black") +
    E(kT, kMalware, "kill own process", "bold", "orange", "12:30:00 AM") +
    "subgraph clusterOnlyInPcap { label = \"Only in PCAP\"; style = filled; color = "
    "lightgrey;\r\n" +
    N("SERVER:9.9.9.9", "9.9.9.9", "white", "0") + "}\r\n}\r\n";

GraphModel ReadModel(const std::string& dot, const std::string& plain) {
  GraphModel model;
  ClearEdgeTypeCache();
  EXPECT_EQ(ReadGraph(model, plain, dot), GraphReadStatus::kOk);
  return model;
}

TEST(DotAttributes, EventFramesTellWhatHappened) {
  GraphModel model = ReadModel(kEvents, PlainFor(kEvents));
  const std::string actor = "Thread 201-n1 of process \"mal.exe\" (PID: 200)";
  const std::string process = "Process \"mal.exe\" (PID: 200)";
  const std::vector<std::string> expected = {
      actor + " writes data to file \"C:\\out.txt\"",
      actor + " writes data to file \"C:\\out.txt\"",
      actor + " reads data from a GRAFX file",
      actor + " writes data to file \"C:\\out.txt\"",
      actor + " creates process \"cmd.exe\" (PID: 300)",
      actor + " sets autostart registry key \"HKCU\\Run\\x\"",
      actor + " queries a registry key",
      process + " sends an HTTP request to \"host.example\" (1.2.3.4)",
      process + " sends TCP traffic to \"host.example\" (1.2.3.4) port 4444",
      process + " receives a HTTPS response from 5.6.7.8",
      actor + " injects thread 150-n3 into process \"explorer.exe\" (PID: 100)",
      actor + " creates thread 202-n2",
      actor + " kills foreign process \"explorer.exe\" (PID: 100)",
      "",
      actor,
      actor + " kills its own process ",
  };
  EXPECT_EQ(Messages(model), expected);
  std::vector<int> levels;
  for (const TimelineFrame& f : model.Frames) levels.push_back(f.level);
  EXPECT_EQ(levels, (std::vector<int>{1, 3, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));

  // Times: relative to the first frame; 12-hour times count their PM; a time of day more
  // than 12 hours before the one before it is on the next day.
  EXPECT_EQ(model.FirstEventTime, 13 * 3600 + 2.25);
  EXPECT_EQ(model.Frames[0].relTime, 0);
  EXPECT_EQ(model.Frames[0].timestamp, "1:00:02,25");
  EXPECT_EQ(model.Frames[1].relTime, 0.25);
  EXPECT_EQ(model.Frames.back().relTime, 24 * 3600 + 1800 - (13 * 3600 + 2.25));
  // The time field shows the relative time, not one worked out from the cut time text.
  EXPECT_EQ(FormatFrameTime(model.Frames[1], false), "00:00:00,25");
  EXPECT_EQ(FormatFrameTime(model.Frames[1], true), model.Frames[1].timestamp);

  GraphLayout& L = model.layout;
  // The repeats change neither the edge's line nor its pen width.
  GraphEdge* write = L.FindEdge("THREAD:200-n1:201-n1->FILE:c:\\\\out.txt (15)");
  ASSERT_NE(write, nullptr);
  EXPECT_EQ(write->penWidth, 3);
  EXPECT_EQ(std::string(write->dotLine) + "\r\n", kWrite.substr(2));
  EXPECT_EQ(model.Frames[1].edgeRefs.front(), write);
  // Context: the thread's process and has-thread edge; the created process's image edge.
  GraphNode* malware = L.FindNode(kMalware);
  EXPECT_EQ(model.Frames[0].nodeRefs,
            (std::vector<GraphNode*>{L.FindNode("FILE:c:\\\\out.txt"), L.FindNode(kT), malware}));
  EXPECT_EQ(model.Frames[0].edgeRefs[1], L.FindEdge(kMalware + "->" + kT + " (1)"));
  EXPECT_EQ(model.Frames[4].edgeRefs.back(), L.FindEdge("PROCESS:300-n2->FILE:c:\\\\cmd.exe (3)"));
  EXPECT_EQ(model.Frames[10].nodeRefs.back(), L.FindNode("PROCESS:100-o1"));
  EXPECT_EQ(model.Frames[10].edgeRefs.back(),
            L.FindEdge("PROCESS:100-o1->THREAD:100-o1:150-n3 (1)"));
  // Two sends to one server keep their own lines, in plain order.
  const EdgeGroup& sends = L.edgeIndex.at(kMalware + "->SERVER:1.2.3.4 (19)");
  ASSERT_EQ(sends.edges.size(), 2u);
  EXPECT_EQ(std::string(sends.edges[0]->dotLine) + "\r\n", kSend1.substr(2));
  EXPECT_EQ(std::string(sends.edges[1]->dotLine) + "\r\n", kSend2.substr(2));
  EXPECT_EQ(sends.edges[1]->penWidth, 5);
  EXPECT_EQ(model.Frames[8].edgeRefs.front(), sends.edges[1]);
  // Has-thread and image edges make no frame and keep no line.
  EXPECT_TRUE(L.FindEdge(kMalware + "->" + kT + " (1)")->dotLine.empty());

  // Node attributes.
  GraphNode* explorer = L.FindNode("PROCESS:100-o1");
  EXPECT_EQ(explorer->fontcolor, "white");
  EXPECT_NE(explorer->dotLine.find("explorer.exe"), std::string_view::npos);
  GraphNode* late = L.FindNode("PROCESS:400-o2");
  EXPECT_EQ(late->fontcolor, "blue");
  EXPECT_TRUE(late->dotLine.empty());
  EXPECT_EQ(L.FindNode("SERVER:9.9.9.9")->onlyInCapture, 1);
  EXPECT_EQ(L.FindNode("SERVER:9.9.9.9")->fontcolor, "white");
  EXPECT_EQ(L.FindNode("SERVER:1.2.3.4")->onlyInCapture, 0);
  EXPECT_EQ(L.FindNode("SERVER:5.6.7.8")->onlyInCapture, 0);
  EXPECT_EQ(malware->fontcolor, "red");

  EXPECT_EQ(model.view.layoutImage.width, 200);
  for (int8_t mode : {3, 2, 1}) {
    model.TimelineMode = mode;
    EXPECT_EQ(CountVisibleFrames(model), mode == 3 ? 16 : mode == 2 ? 15 : 14);
  }
}

TEST(DotAttributes, RenamesBecomeOneFramePerGroup) {
  const std::string t = "THREAD:1-n1:2-n1";
  const std::string from = E(t, "FILE:c:\\\\a.txt", "rename from", "dashed", "orange", "1:00:01");
  const std::string rename =
      E("FILE:c:\\\\a.txt", "FILE:c:\\\\b.txt", "rename", "bold", "magenta", "1:00:01");
  const std::string to = E(t, "FILE:c:\\\\b.txt", "rename to", "dashed", "magenta", "1:00:01");
  const std::string dot =
      kHead + N("PROCESS:1-n1", "a.exe\\n(PID: 1)", "red") +
      E("PROCESS:1-n1", t, "has thread", "solid", "black", "1:00:00") + N(t, "2", "white") + from +
      rename + N("FILE:c:\\\\a.txt", "C:\\\\a.txt", "black") +
      N("FILE:c:\\\\b.txt", "C:\\\\b.txt", "black") +
      E(t, "FILE:c:\\\\b.txt", "", "bold", "red", "1:00:01") + to +
      E("FILE:c:\\\\b.txt", "FILE:HTML", "rename", "bold", "magenta", "1:00:02") +
      N("FILE:HTML", "HTML", "black") + E(t, "FILE:c:\\\\a.txt", "", "bold", "green", "1:00:03") +
      E(t, "FILE:XML", "rename from", "dashed", "orange", "1:00:03.5") +
      N("FILE:XML", "XML", "black") +
      E(t, "FILE:c:\\\\b.txt", "rename to", "dashed", "magenta", "1:00:03.75") +
      E(t, "FILE:c:\\\\c.txt", "rename from", "dashed", "orange", "1:00:04") +
      N("FILE:c:\\\\c.txt", "C:\\\\c.txt", "black") +
      Repeat(E(t, "FILE:c:\\\\b.txt", "rename to", "dashed", "magenta", "1:00:04")) + "}\r\n";
  GraphModel model = ReadModel(dot, PlainFor(dot));
  const std::string actor = "Thread 2-n1 of process \"a.exe\" (PID: 1)";
  EXPECT_EQ(Messages(model), (std::vector<std::string>{
                                 actor + " writes data to file \"C:\\b.txt\"",
                                 actor + " renames file \"C:\\a.txt\" to \"C:\\b.txt\"",
                                 "File \"C:\\b.txt\" gets renamed to a HTML file",
                                 actor + " reads data from file \"C:\\a.txt\"",
                                 actor + " renames a XML file",
                                 actor + " renames a file to \"C:\\b.txt\"",
                                 actor + " renames file \"C:\\c.txt\" to \"C:\\b.txt\"",
                             }));
  GraphLayout& L = model.layout;
  const TimelineFrame& full = model.Frames[1];
  EXPECT_EQ(full.nodeRefs,
            (std::vector<GraphNode*>{L.FindNode("FILE:c:\\\\a.txt"), L.FindNode("FILE:c:\\\\b.txt"),
                                     L.FindNode(t), L.FindNode("PROCESS:1-n1")}));
  ASSERT_EQ(full.edgeRefs.size(), 4u);
  EXPECT_EQ(full.edgeRefs[1], L.FindEdge("FILE:c:\\\\a.txt->FILE:c:\\\\b.txt (12)"));
  EXPECT_EQ(full.timestamp, "1:00:01");
  EXPECT_EQ(model.Frames[2].nodeRefs.size(), 2u);  // no thread in the file form
  // The group left open at the end is closed; one of its lines is new, so it is level 1.
  EXPECT_EQ(model.Frames.back().level, 1);
  EXPECT_EQ(model.Frames.back().timestamp, "1:00:04");
}

TEST(DotAttributes, LinesTheLayoutLacksAreSkippedAndHostileTextIsHarmless) {
  const std::string t = "THREAD:1-n1:2-n1";
  const std::string known = kHead + N("PROCESS:1-n1", "a.exe\\n(PID: 1)", "red") +
                            N(t, "2", "white") +
                            N("FILE:c:\\\\q\\\"];x", "C:\\\\q\\\"];x", "black") +
                            E(t, "FILE:c:\\\\q\\\"];x", "", "bold", "red", "1:00:01") + "}\r\n";
  // The same file with lines dot never laid out: nodes, an edge, a thread without process.
  const std::string extra =
      kHead + N("PROCESS:1-n1", "a.exe\\n(PID: 1)", "red") + N(t, "2", "white") +
      N("PROCESS:9-o1", "ghost\\n(PID: 9)", "red") +
      E(t, "FILE:c:\\\\missing", "", "bold", "red", "1:00:00") +
      E(t, "FILE:c:\\\\q\\\"];x", "", "bold", "red", "1:00:01") +
      E(t, "FILE:c:\\\\q\\\"];x", "rename to", "dashed", "magenta", "1:00:02") +
      E("THREAD:7-n1:8-n1", "FILE:c:\\\\q\\\"];x", "", "bold", "green", "1:00:03") +
      "  \"SERVER:\\\\\"   [label = \"[1]\\\"];\", fontcolor = ];\r\n" +
      "  \"unterminated\r\n  \" -> \"\r\n// \r\n\"\r\n}\r\n";
  GraphModel model;
  ClearEdgeTypeCache();
  ASSERT_EQ(ReadGraph(model, PlainFor(known), extra), GraphReadStatus::kOk);
  ASSERT_EQ(model.Frames.size(), 1u);
  EXPECT_EQ(model.Frames[0].message,
            "Thread 2-n1 of process \"a.exe\" (PID: 1) writes data to file \"C:\\q\\\"];x\"");
  EXPECT_EQ(model.FirstEventTime, 3601);

  // A thread whose process the layout lacks still makes its frame, without that context.
  const std::string orphan = kHead + N(t, "2", "white") + N("FILE:x", "X", "black") +
                             E(t, "FILE:x", "", "bold", "green", "1:00:01") + "}\r\n";
  GraphModel lone = ReadModel(orphan, PlainFor(orphan));
  ASSERT_EQ(lone.Frames.size(), 1u);
  EXPECT_EQ(lone.Frames[0].message, "Thread 2-n1 of process \"\"  reads data from a X file");
  EXPECT_EQ(lone.Frames[0].nodeRefs.size(), 2u);
}

// Labels are read in one pass for messages too: a backslash before an "n" in a key, a name or
// a server's name is part of the text, never the label's line break; nothing is hidden.
TEST(DotAttributes, MessagesReadLabelsAsTheyAreDrawn) {
  const std::string t = "THREAD:1-n1:2-n1";
  const std::string key = "REGISTRYKEY:hkcu\\\\software\\\\nvidia\\\\new\\\\val";
  const std::string dot =
      kHead + N("PROCESS:1-n1", "[1]\\nc:\\\\new\\\\nasty\u202E.exe\\n(PID: 1)", "red") +
      N(t, "2", "white") + N(key, "HKCU\\\\Software\\\\nvidia\\\\new\\\\val", "black") +
      E(t, key, "", "bold", "red", "1:00:01") +
      N("REGISTRYKEY:hkcu\\\\run\\\\n", "HKCU\\\\Run\\\\n\\n(AUTOSTART!)", "black") +
      E(t, "REGISTRYKEY:hkcu\\\\run\\\\n", "", "bold", "red", "1:00:02") +
      N("SERVER:1.2.3.4", "[1]\\nhost\\\\nevil\x1B.example\\n1.2.3.4", "white") +
      E("PROCESS:1-n1", "SERVER:1.2.3.4", "TCP 49712>80", "bold", "red", "1:00:03") + "}\r\n";
  GraphModel model = ReadModel(dot, PlainFor(dot));
  const std::string actor = "Thread 2-n1 of process \"c:\\new\\nasty_0x202E_.exe\" (PID: 1)";
  EXPECT_EQ(Messages(model),
            (std::vector<std::string>{
                actor + " sets registry key \"HKCU\\Software\\nvidia\\new\\val\"",
                actor + " sets autostart registry key \"HKCU\\Run\\n\"",
                "Process \"c:\\new\\nasty_0x202E_.exe\" (PID: 1) sends an HTTP request to "
                "\"host\\nevil_0x1B_.example\" (1.2.3.4)",
            }));
}

TEST(DotAttributes, AnUnreadableLayoutKeepsTheShownGraph) {
  GraphModel model = ReadModel(kEvents, PlainFor(kEvents));
  size_t nodes = model.layout.nodes.size();
  size_t frames = model.Frames.size();
  EXPECT_EQ(ReadGraph(model, "digraph garbage\n\x01\x02", kEvents),
            GraphReadStatus::kLayoutUnreadable);
  EXPECT_EQ(model.layout.nodes.size(), nodes);
  EXPECT_EQ(model.Frames.size(), frames);
  EXPECT_TRUE(model.view.layoutImage.IsSet());
  // A readable layout with an unreadable DOT file: laid out, no frames, no image.
  EXPECT_EQ(ReadGraph(model, PlainFor(kEvents), ""), GraphReadStatus::kDotUnreadable);
  EXPECT_EQ(model.layout.nodes.size(), nodes);
  EXPECT_TRUE(model.Frames.empty());
  EXPECT_FALSE(model.view.layoutImage.IsSet());
}

TEST(TimelineTime, ValuesAndRelativeTimestamps) {
  struct ValueCase {
    const char* text;
    double value;
  } values[] = {
      {"1:02:03.5", 3723.5},
      {"1:02:03.5 PM", 46923.5},
      {"12:30:00 AM", 1800},
      {"12:30:00 PM", 45000},
      {"13:00:00,25", 46800.25},
      {"", 0},
      {"x:y:z", 0},
      {"9:41:02.1031457 AM", 34862.1031457},
  };
  for (const ValueCase& c : values) EXPECT_DOUBLE_EQ(TimeValue(c.text), c.value) << c.text;
  EXPECT_EQ(TimeText("9:41:02.1031457 AM"), "9:41:02,1031457");

  GraphModel model;
  model.FirstEventTime = TimeValue("10:04:10");
  struct FormatCase {
    const char* text;
    bool original;
    const char* shown;
  } formats[] = {
      {"10:04:11,5", false, "00:00:01,5"},    {"11:06:13,25", false, "01:02:03,25"},
      {"10:04:15", false, "00:00:05"},        {"10:04:11.5 AM", true, "10:04:11,5"},
      {"10:04:11.5 PM", false, "12:00:01,5"}, {"35:04:10", false, "01:00:00"},
      {"10:04:09.5", false, "00:00:00,5"},    {"", false, ""},
  };
  for (const FormatCase& c : formats) {
    EXPECT_EQ(FormatTimestamp(model, c.text, c.original), c.shown) << c.text;
  }
  model.FirstEventTime = TimeValue("11:59:59.5 PM");
  EXPECT_EQ(FormatTimestamp(model, "12:00:00.5 AM", false), "00:00:01");
}

TEST(TimelineTime, DaysCountOnPastMidnight) {
  struct Case {
    std::vector<const char*> times;
    std::vector<double> seconds;  // since the first time's midnight
  } cases[] = {
      {{"11:59:59.5 PM", "12:00:00.5 AM", "1:00:00 AM"}, {86399.5, 86400.5, 90000}},
      // Two midnights; a step back of less than 12 hours stays on its day.
      {{"11:00:00 PM", "1:00:00 AM", "11:30:00 PM", "0:30:00"}, {82800, 90000, 171000, 174600}},
      {{"9:00:00 AM", "8:59:00 AM", "9:00:00 PM"}, {32400, 32340, 75600}},
  };
  for (const Case& c : cases) {
    DayCount days;
    std::vector<double> seconds;
    for (const char* t : c.times) seconds.push_back(days.Next(TimeValue(t)));
    EXPECT_EQ(seconds, c.seconds) << c.times.front();
  }
}

}  // namespace
}  // namespace graphview
