// One QApplication for a whole test executable, always on the offscreen platform (a test
// program may give it options, such as its screens), whatever the environment names: the
// tests check pixels and sizes against a known screen and never need a display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "lsan_suppressions.h"
#include "platform/window_system.h"

namespace {

class OffscreenApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a runtime folder Qt makes one of its own in the temporary folder and leaves it
    // there: the test program's own goes with it.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
      m_runtime = QDir::tempPath().toStdString() + "/lumivex-tests-run-XXXXXX";
      if (mkdtemp(m_runtime.data())) {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
      } else {
        m_runtime.clear();
      }
    }
    m_app = new QApplication(m_argc, m_argv);
  }
  void TearDown() override {
    platform::ResetLayer();
    delete m_app;
    if (!m_runtime.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(m_runtime, ec);
    }
  }

 private:
  int m_argc = 1;
  char m_name[16] = "lumivex_tests";
  char* m_argv[2] = {m_name, nullptr};
  QApplication* m_app = nullptr;
  std::string m_runtime;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

}  // namespace
