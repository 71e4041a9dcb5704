// evtweave: a Process Monitor CSV log in, a graph DOT file out.
#include <csignal>
#include <string>
#include <vector>

#include "evtweave/converter.h"
#include "evtweave/crash_report.h"
#include "tolvek/callstack.h"
#include "tolvek/startup.h"

int main(int argc, char** argv) {
  evtweave::InstallCrashHandler();
  // A reader that goes away (a cancelled workbench run, "| head") must not end the program
  // halfway through writing its files.
  std::signal(SIGPIPE, SIG_IGN);
  tolvek::LibraryStartup();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  int code = evtweave::RunConverter(arguments);
  tolvek::EndProgram(code);
}
