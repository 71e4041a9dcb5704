// Drives one workbench_instance process (a real workbench) line by line through its standard
// input and output.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace wbtest {

// This process's environment with each "NAME=value" of set in place of the variable's own.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& set) {
  std::vector<std::string> environment;
  for (char** variable = environ; *variable; ++variable) {
    const std::string text = *variable;
    bool replaced = false;
    for (const std::string& entry : set) {
      replaced |= text.compare(0, entry.find('=') + 1, entry, 0, entry.find('=') + 1) == 0;
    }
    if (!replaced) environment.push_back(text);
  }
  environment.insert(environment.end(), set.begin(), set.end());
  return environment;
}

// A workbench_instance process and the two pipes to it. Every wait is bounded: a process
// that stops answering fails the test instead of holding it.
class Instance {
 public:
  // environment: the whole environment of the process; empty: this process's. program: the
  // workbench_instance program elsewhere (a link to it); empty: the one beside this program.
  explicit Instance(const std::string& session, const std::vector<std::string>& environment = {},
                    std::string program = {}) {
    if (program.empty()) {
      char self[4096];
      ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
      program = std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
      program = program.substr(0, program.rfind('/') + 1) + "workbench_instance";
    }
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char* argv[] = {program.data(), const_cast<char*>(session.c_str()), nullptr};
    std::vector<char*> env;
    for (const std::string& variable : environment)
      env.push_back(const_cast<char*>(variable.c_str()));
    env.push_back(nullptr);
    char** envp = environment.empty() ? environ : env.data();
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, envp) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~Instance() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      Wait();
    }
    if (m_in >= 0) close(m_in);
    if (m_out >= 0) close(m_out);
  }
  pid_t Pid() const { return m_pid; }
  void Send(const std::string& line) {
    std::string text = line + "\n";
    EXPECT_EQ(write(m_in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The next line it says; "" when it says nothing for a minute or has ended.
  std::string Line() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      size_t lf = m_pending.find('\n');
      if (lf != std::string::npos) {
        std::string line = m_pending.substr(0, lf);
        m_pending.erase(0, lf + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      pollfd fd{m_out, POLLIN, 0};
      if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) return "";
      char buffer[4096];
      ssize_t n = read(m_out, buffer, sizeof buffer);
      if (n <= 0) return "";
      m_pending.append(buffer, static_cast<size_t>(n));
    }
  }
  // The lines up to the one that begins with prefix, which is returned last.
  std::vector<std::string> Until(const std::string& prefix) {
    std::vector<std::string> lines;
    for (std::string line = Line(); !line.empty(); line = Line()) {
      lines.push_back(line);
      if (line.rfind(prefix, 0) == 0) return lines;
    }
    ADD_FAILURE() << "no line beginning with \"" << prefix << "\"";
    lines.push_back("");
    return lines;
  }
  // Its exit code once it has ended (within a minute), else -1 after ending it.
  int Wait() {
    int status = 0;
    for (int i = 0; i < 600; ++i) {
      pid_t rc = waitpid(m_pid, &status, WNOHANG);
      if (rc == m_pid) {
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(100 * 1000);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return -1;
  }

 private:
  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
  std::string m_pending;
};

}  // namespace wbtest
