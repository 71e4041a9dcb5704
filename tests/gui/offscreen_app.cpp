// One QApplication for a whole test executable, always on the offscreen platform (a test
// program may give it options, such as its screens), whatever the environment names: the
// tests check pixels and sizes against a known screen and never need a display.
#include <gtest/gtest.h>

#include <QApplication>

#include "lsan_suppressions.h"
#include "platform/window_system.h"

namespace {

class OffscreenApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    m_app = new QApplication(m_argc, m_argv);
  }
  void TearDown() override {
    platform::ResetLayer();
    delete m_app;
  }

 private:
  int m_argc = 1;
  char m_name[16] = "lumivex_tests";
  char* m_argv[2] = {m_name, nullptr};
  QApplication* m_app = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

}  // namespace
