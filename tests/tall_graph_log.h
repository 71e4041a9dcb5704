// A generated log that gives a tall graph: a sample process started by Explorer starts nine
// more, and each of the ten sends a run of UDP packets from several local ports to a server of
// its own. Ten such fans stack up in the layout; each fan is a bundle of parallel labelled
// edges whose outermost arcs, with their labels along them, bulge past the layout's box, so
// the lowest fan's labels lie below what the layout alone would fit.
#pragma once

#include <cstdio>
#include <string>

namespace lumivex_testing {

struct TallGraphLog {
  std::string bytes;     // the log, one quoted record per line
  std::string launcher;  // "position|pid|name" of the sample's start
};

inline TallGraphLog MakeTallGraphLog() {
  constexpr int kStages = 10;
  constexpr int kSendsPerStage = 5;
  TallGraphLog log;
  log.bytes =
      "\"Time of Day\",\"Process Name\",\"PID\",\"Operation\",\"Path\",\"Result\",\"Detail\","
      "\"TID\"\n";
  long long tick = 0;  // in the log's 100 ns steps, from 9:41 AM
  auto record = [&](const std::string& name, int pid, const char* operation,
                    const std::string& path, const std::string& detail, int tid) {
    tick += 123457;
    char time[32];
    std::snprintf(time, sizeof time, "9:%02lld:%02lld.%07lld AM", 41 + tick / 600000000,
                  tick / 10000000 % 60, tick % 10000000);
    log.bytes += "\"" + std::string(time) + "\",\"" + name + "\",\"" + std::to_string(pid) +
                 "\",\"" + operation + "\",\"" + path + "\",\"SUCCESS\",\"" + detail + "\",\"" +
                 std::to_string(tid) + "\"\n";
  };
  auto name = [](int stage) { return "stage" + std::to_string(stage) + ".exe"; };
  auto pid = [](int stage) { return 2520 + 100 * stage; };
  auto create = [&](const std::string& by, int byPid, int byTid, int stage) {
    record(by, byPid, "Process Create", "C:\\tall\\" + name(stage),
           "PID: " + std::to_string(pid(stage)) + ", Command line: " + name(stage), byTid);
  };
  auto run = [&](int stage, int parent) {
    const int tid = pid(stage) + 4;
    record(name(stage), pid(stage), "Process Start", "",
           "Parent PID: " + std::to_string(parent) + ", Command line: " + name(stage), tid);
    record(name(stage), pid(stage), "Thread Create", "", "Thread ID: " + std::to_string(tid), tid);
    for (int send = 0; send < kSendsPerStage; ++send) {
      record(name(stage), pid(stage), "UDP Send",
             "host:" + std::to_string(1200 + send) + " -> 198.51.100." + std::to_string(stage) +
                 ":domain",
             "Length: 31", tid);
    }
  };

  create("Explorer.EXE", 1432, 1436, 0);
  log.launcher = std::to_string(log.bytes.size()) + "|" + std::to_string(pid(0)) + "|" + name(0);
  run(0, 1432);
  for (int stage = 1; stage < kStages; ++stage) {
    create(name(0), pid(0), pid(0) + 4, stage);
    run(stage, pid(0));
  }
  return log;
}

}  // namespace lumivex_testing
