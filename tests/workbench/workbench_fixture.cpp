#include "workbench_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QApplication>

#include "gui/fake_menu.h"
#include "platform/window_system.h"
#include "tolvek/callstack.h"
#include "tolvek/preferences.h"
#include "tolvek/startup.h"
#include "workbench/main_loop.h"
#include "workbench/stages.h"
#include "workbench/startup.h"
#include "workbench/workbench_state.h"

namespace wbtest {
namespace {

int64_t gFakeNow = 0;
int64_t FastClock() {
  return gFakeNow += 50;
}

// The offscreen platform's own screen (800 x 800) is smaller than the main window's minimum;
// an analyst's desktop is not. The tests measure the window against this one known screen,
// whatever platform the environment names. Set before the application object exists. A test
// program may name a screen of its own (one whose windows have frames).
#ifndef LUMIVEX_OFFSCREEN_SCREEN
#define LUMIVEX_OFFSCREEN_SCREEN LUMIVEX_SOURCE_DIR "/tests/workbench/offscreen_screen.json"
#endif
const bool kWideScreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen:configfile=" LUMIVEX_OFFSCREEN_SCREEN, 1);
  return true;
}();

[[noreturn]] void ThrowProgramEnded(int64_t code) {
  throw ProgramEnded{code};
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void WorkbenchTest::SetUp() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumivex-wb-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  ASSERT_NE(mkdtemp(buffer.data()), nullptr);
  m_root = buffer.data();
  for (const char* sub : {"/home", "/tmp", "/appdata", "/config", "/run"}) {
    mkdir((m_root + sub).c_str(), 0700);
  }
  const std::map<std::string, std::string> values = {{"HOME", m_root + "/home"},
                                                     {"TMPDIR", m_root + "/tmp"},
                                                     {"APPDATA", m_root + "/appdata"},
                                                     {"XDG_CONFIG_HOME", m_root + "/config"},
                                                     {"XDG_RUNTIME_DIR", m_root + "/run"}};
  for (const auto& [name, value] : values) SetEnv(name.c_str(), value);
  // The splash waits five seconds of this clock.
  platform::SetClock(FastClock);
  tolvek::SetEndProgramHandler(ThrowProgramEnded);
  // Each start makes its private folder and temporary files afresh, in this test's folders.
  tolvek::detail::ResetLibraryStartupForTest();
  // A dialog nobody scripted would wait for a user forever: it fails the test instead.
  platform::SetUnscriptedDialogHandler([](const std::string& title, const std::string& text) {
    ADD_FAILURE() << "unexpected dialog \"" << title << "\": " << text;
  });
}

void WorkbenchTest::TearDown() {
  ForgetWindows();
  platform::SetUnscriptedDialogHandler(nullptr);
  tolvek::detail::ResetLibraryStartupForTest();
  platform::SetClock(nullptr);
  tolvek::SetEndProgramHandler(nullptr);
  workbench::detail::OverrideProgramFolder("");
  // Last set, first restored: a test's own value of a variable the fixture set gives way to
  // the fixture's, and that to the one from before the test.
  while (!m_environment.empty()) m_environment.pop_back();
  std::error_code ignored;
  std::filesystem::remove_all(m_root, ignored);
}

void WorkbenchTest::SetEnv(const char* name, const std::string& value) {
  m_environment.push_back(std::make_unique<lumivex_testing::ScopedEnv>(name, value));
}

bool WorkbenchTest::Start(const std::vector<std::string>& parameters) {
  std::vector<std::string> args = {"lumivex"};
  args.insert(args.end(), parameters.begin(), parameters.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  try {
    workbench::StartUp(static_cast<int>(args.size()), argv.data());
  } catch (const ProgramEnded& end) {
    m_exitCode = end.code;
    return false;
  }
  return true;
}

void WorkbenchTest::StartQuietly() {
  WriteSettings(QuietSettings());
  ASSERT_TRUE(Start());
  QApplication::processEvents();
  platform::FlushEvents();
}

std::set<std::string> NodePrefixes() {
  std::set<std::string> prefixes;
  for (const auto& node : workbench::State().graph.layout.nodes) {
    std::string name(node.name);
    prefixes.insert(name.substr(0, name.find(':') + 1));
  }
  return prefixes;
}

void WorkbenchTest::ForgetWindows() {
  platform::ClearScriptedAnswers();
  platform::FlushEvents();
  gui::detail::ResetFakeMenus();
  platform::ResetLayer();
  platform::SetClock(FastClock);
}

bool WorkbenchTest::End() {
  try {
    workbench::EndSequence();
  } catch (const ProgramEnded& end) {
    m_exitCode = end.code;
    return true;
  }
  return false;
}

std::map<std::string, std::string> WorkbenchTest::SettingsKeys() const {
  std::map<std::string, std::string> keys;
  std::istringstream in(ReadWholeFile(SettingsFolder() + ".lumivex"));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') break;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    auto trim = [](std::string t) {
      while (!t.empty() && t.back() == ' ') t.pop_back();
      while (!t.empty() && t.front() == ' ') t.erase(0, 1);
      return t;
    };
    keys[trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
  }
  return keys;
}

void WorkbenchTest::WriteSettings(const std::map<std::string, std::string>& keys) const {
  mkdir(SettingsFolder().c_str(), 0700);
  std::string text;
  for (const auto& [key, value] : keys) text += key + " = " + value + "\r\n";
  WriteWholeFile(SettingsFolder() + ".lumivex", text);
  // Every run after the first finds the default session the first run made.
  if (!FileExists(SettingsFolder() + "default.lv"))
    WriteWholeFile(SettingsFolder() + "default.lv", "");
}

std::map<std::string, std::string> WorkbenchTest::QuietSettings() {
  return {{"lastrunbuild", "55"},
          {"auto_update_check", "0"},
          {"update_check_betas", "0"},
          {"dotexecutable", "/usr/bin/dot"},
          {"windumpexecutable", "/usr/bin/tcpdump"}};
}

void Settle() {
  for (int turn = 0; turn < 500; ++turn) {
    QApplication::processEvents();
    platform::QueueDueTimers();
    if (platform::QueuedEventCount() == 0) return;
    workbench::MainLoopTurn();
  }
  ADD_FAILURE() << "the loop kept finding events";
}

bool TurnUntil(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    workbench::MainLoopTurn();
  }
  return true;
}

}  // namespace wbtest
