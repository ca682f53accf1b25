#pragma once
// Runs korvane-loopsim as a child process, for the tests that meet it the way the tool does:
// over the pseudo-terminal whose name it prints. POSIX, as is the program under test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace korvane::testing {

inline const std::string kLoopsim = KORVANE_LOOPSIM;
inline const std::string kLoops = KORVANE_LOOPS_DIR;

// Reads from fd until `want` bytes came, `stopAt` came or timeoutMs passed.
inline std::string readFor(int fd, std::size_t want, int timeoutMs, char stopAt = '\0') {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < want && (got.empty() || stopAt == '\0' || got.back() != stopAt)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd pfd{fd, POLLIN, 0};
    char c;
    if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
    if (read(fd, &c, 1) != 1) break;
    got += c;
  }
  return got;
}

struct Loopsim {
  pid_t pid = -1;
  int in = -1;   // its stdin: fault commands
  int out = -1;  // its stdout
  int err = -1;  // its stderr

  explicit Loopsim(const std::vector<std::string>& args) {
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) return;
    std::vector<char*> argv{const_cast<char*>(kLoopsim.c_str())};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {  // only async-signal-safe calls from here: the parent may have threads
      dup2(inPipe[0], 0);
      dup2(outPipe[1], 1);
      dup2(errPipe[1], 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    // Ours only: a simulator started later must not hold this one's stdin open.
    fcntl(inPipe[1], F_SETFD, FD_CLOEXEC);
    fcntl(outPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(errPipe[0], F_SETFD, FD_CLOEXEC);
    in = inPipe[1];
    out = outPipe[0];
    err = errPipe[0];
  }
  ~Loopsim() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    if (err >= 0) close(err);
  }

  // Sends one fault command (sim/control.h) and returns its answer line, without the line end.
  std::string command(const std::string& line) {
    const std::string text = line + "\n";
    if (write(in, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    std::string answer = readFor(out, 500, 5000, '\n');
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
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

// Reads the device from korvane-loopsim's first line ("KORVANE_COMn=DEVICE"); empty when it
// did not say.
inline std::string deviceOf(Loopsim& sim, const std::string& variable) {
  const std::string first = readFor(sim.out, 200, 5000, '\n');
  const std::string prefix = variable + "=";
  if (first.rfind(prefix, 0) != 0 || first.back() != '\n') return {};
  return first.substr(prefix.size(), first.size() - prefix.size() - 1);
}

}  // namespace korvane::testing
