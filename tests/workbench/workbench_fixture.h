// A workbench start in a private home: HOME, TMPDIR, APPDATA, XDG_CONFIG_HOME and
// XDG_RUNTIME_DIR point into a fresh folder, the splash's clock runs fast, message boxes are
// answered by script and the program's end is observed instead of ending the process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "scoped_env.h"

namespace wbtest {

struct ProgramEnded {
  int64_t code;
};

class WorkbenchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the start-up with these command-line parameters; true when it returned (false when
  // the program ended during it, m_exitCode then holds the code).
  bool Start(const std::vector<std::string>& parameters = {});
  // Starts with the quiet settings and nothing left queued.
  void StartQuietly();
  // Closes every window so that the next Start begins afresh.
  void ForgetWindows();
  // Runs the end sequence; true when it ended the program as it should.
  bool End();

  std::string Home() const { return m_root + "/home/"; }
  std::string SettingsFolder() const { return Home() + ".lumivex/"; }
  // The settings file's top-level keys.
  std::map<std::string, std::string> SettingsKeys() const;
  // Writes a settings file with these keys (and the folder, and an empty default session
  // unless there is one).
  void WriteSettings(const std::map<std::string, std::string>& keys) const;
  // The keys with which nothing is asked at start.
  static std::map<std::string, std::string> QuietSettings();

  std::string m_root;
  std::optional<int64_t> m_exitCode;
  // Sets a variable until the test ends.
  void SetEnv(const char* name, const std::string& value);

 private:
  std::vector<std::unique_ptr<lumivex_testing::ScopedEnv>> m_environment;
};

// Serves the main loop until nothing is queued and no timer is due (a failure when it never
// gets there): what the analyst's last action set off has been handled.
void Settle();
// Serves the main loop until done() holds (at most a minute); whether it came to hold.
bool TurnUntil(const std::function<bool()>& done);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The prefixes ("FILE:", "PROCESS:", ...) of the nodes of the graph laid out last.
std::set<std::string> NodePrefixes();

}  // namespace wbtest
