// A library plugin for the tests: it appends what it was called for to the file that
// LUMIVEX_TEST_PLUGIN_LOG names and answers the number in LUMIVEX_TEST_PLUGIN_ANSWER.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

uint8_t Record(const char* what) {
  const char* log = std::getenv("LUMIVEX_TEST_PLUGIN_LOG");
  const char* name = std::getenv("LUMIVEXPLUGIN_Name");
  if (log) {
    if (std::FILE* f = std::fopen(log, "a")) {
      std::fprintf(f, "%s %s\n", what, name ? name : "(no name)");
      std::fclose(f);
    }
  }
  // A variable the library sets itself with the prefix is removed after the call all the same.
  setenv("LUMIVEXPLUGIN_LeftByTheLibrary", "1", 1);
  const char* answer = std::getenv("LUMIVEX_TEST_PLUGIN_ANSWER");
  return static_cast<uint8_t>(answer ? std::atoi(answer) : 0);
}

}  // namespace

extern "C" uint8_t LumiVEXPluginCall(void) {
  return Record("call");
}

#ifdef WITH_VERIFY
extern "C" uint8_t LumiVEXPluginVerify(void) {
  return Record("verify");
}
#endif
