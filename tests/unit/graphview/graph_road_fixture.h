// A log through the real converter, both filter passes, the real dot and the reading phase
// into a model, as a refresh runs them.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphview/dot_attributes.h"
#include "graphview/edge_kinds.h"
#include "graphview/graph_inputs.h"
#include "graphview/graph_reading.h"
#include "graphview/render_filter.h"
#include "tolvek/memory.h"
#include "tolvek/process.h"

namespace graphview {

namespace fs = std::filesystem;
inline constexpr const char* kDot = "/usr/bin/dot";

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Runs a program to its end in dir; its standard output.
inline std::string RunToEnd(const std::string& program, const std::vector<std::string>& args,
                            const fs::path& dir) {
  tolvek::Program p;
  EXPECT_TRUE(tolvek::StartProgram(program, args, dir.string(), p)) << program;
  tolvek::MemoryPtr out(tolvek::ReadProgramStream(p));
  tolvek::CloseProgram(p);
  if (!out) return {};
  return std::string(static_cast<const char*>(out.get()),
                     static_cast<size_t>(tolvek::MemorySize(out.get())));
}

class GraphRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "graphroad.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  struct Result {
    GraphReadStatus status = GraphReadStatus::kLayoutUnreadable;
    std::string converterOutput;
    std::string graphDot;
    std::string layoutDot;
  };

  // Converter, both filter passes, dot and the reading phase, as a refresh runs them.
  Result Refresh(const fs::path& csv, const std::string& capture, const RenderOptions& options,
                 const char* labelMode = "Default", const ModeBoxes& modes = {}) {
    Result r;
    ClearEdgeTypeCache();
    fs::path dot = m_dir / "graph.dot";
    fs::path layoutDot = m_dir / "graph4render.dot";
    fs::path plain = m_dir / "graph.txt";
    EXPECT_TRUE(CheckCsvHeader(ReadBytes(csv)));
    std::vector<std::string> args =
        ConverterArguments(csv.string(), dot.string(), BuildModeString(modes), capture);
    r.converterOutput = RunToEnd(EVTWEAVE_PROGRAM, args, m_dir);
    std::string converted = ReadBytes(dot);
    EXPECT_FALSE(converted.empty()) << r.converterOutput;
    FilteredGraph filtered =
        FilterGraphDot(converted, CollectAutostartIds(converted), options, labelMode);
    r.graphDot = DropUnusedNodes(filtered.graphDot, filtered.usedIds);
    r.layoutDot = filtered.layoutDot;
    WriteBytes(dot, r.graphDot);
    WriteBytes(layoutDot, r.layoutDot);
    RunToEnd(kDot, DotArguments(plain.string(), layoutDot.string()), m_dir);
    r.status = ReadGraph(m_model, ReadBytes(plain), ReadBytes(dot));
    return r;
  }

  fs::path m_dir;
  GraphModel m_model;
};

}  // namespace graphview
