#pragma once
// Runs korvane-loopsim as a child process, for the tests that meet it the way the tool does:
// over the pseudo-terminal whose name it prints. POSIX, as is the program under test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace korvane::testing {

inline const std::string kLoopsim = KORVANE_LOOPSIM;
inline const std::string kLoops = KORVANE_LOOPS_DIR;

// Reads from fd until `want` bytes came or timeoutMs passed.
inline std::string readFor(int fd, std::size_t want, int timeoutMs, char stopAt = '\0') {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
    char c[64];
    const ssize_t n = read(fd, c, stopAt != '\0' ? 1 : std::min(sizeof c, want - got.size()));
    if (n <= 0) break;
    got.append(c, static_cast<std::size_t>(n));
    if (stopAt != '\0' && got.back() == stopAt) break;
  }
  return got;
}

struct Loopsim {
  pid_t pid = -1;
  int out = -1;  // its stdout
  int err = -1;  // its stderr

  explicit Loopsim(const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv{const_cast<char*>(kLoopsim.c_str())};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid, kLoopsim.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    out = outPipe[0];
    err = errPipe[0];
  }
  ~Loopsim() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (out >= 0) close(out);
    if (err >= 0) close(err);
  }

  // Exit status, or -1 if it did not end within timeoutMs.
  int waitExit(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(10'000);
    }
    return -1;
  }
};

// Starts korvane-loopsim and reads the device from its first line ("KORVANE_COMn=DEVICE").
// Empty when it did not say.
inline std::string deviceOf(Loopsim& sim, const std::string& variable) {
  const std::string first = readFor(sim.out, 200, 5000, '\n');
  const std::string prefix = variable + "=";
  if (first.rfind(prefix, 0) != 0 || first.back() != '\n') return {};
  return first.substr(prefix.size(), first.size() - prefix.size() - 1);
}

}  // namespace korvane::testing
