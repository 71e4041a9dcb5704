// A workbench home that asks nothing at start: the settings file turns the update questions
// off and names the tools, and the default session exists.
#pragma once
#include <sys/stat.h>

#include <fstream>
#include <string>

namespace lumivex_testing {

inline void PrepareQuietHome(const std::string& home, const std::string& dot = "/usr/bin/dot",
                             const std::string& tcpdump = "/usr/bin/tcpdump") {
  mkdir(home.c_str(), 0700);
  const std::string folder = home + "/.lumivex/";
  mkdir(folder.c_str(), 0700);
  std::ofstream(folder + ".lumivex") << "lastrunbuild = 55\r\nauto_update_check = 0\r\n"
                                     << "update_check_betas = 0\r\ndotexecutable = " << dot
                                     << "\r\nwindumpexecutable = " << tcpdump << "\r\n";
  // Created when missing, kept as it is when there.
  std::ofstream(folder + "default.lv", std::ios::app);
}

}  // namespace lumivex_testing
