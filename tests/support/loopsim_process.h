#pragma once
// Runs korvane-loopsim as a child process, for the tests that meet it the way the tool does:
// over the pseudo-terminal whose name it prints. POSIX, as is the program under test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace korvane::testing {

inline const std::string kLoopsim = KORVANE_LOOPSIM;
inline const std::string kLoops = KORVANE_LOOPS_DIR;

// Reads from fd until `want` bytes came, `stopAt` came, or no byte came for timeoutMs.
inline std::string readFor(int fd, std::size_t want, int timeoutMs, char stopAt = '\0') {
  std::string got;
  pollfd pfd{fd, POLLIN, 0};
  char c;
  while (got.size() < want && (got.empty() || stopAt == '\0' || got.back() != stopAt) &&
         poll(&pfd, 1, timeoutMs) > 0 && read(fd, &c, 1) == 1)
    got += c;
  return got;
}

struct Loopsim {
  pid_t pid = -1;
  int in = -1, out = -1, err = -1;  // its stdin (fault commands), stdout and stderr

  explicit Loopsim(const std::vector<std::string>& args) {
    // Ours only (close on exec): a simulator started later must not hold this one's stdin.
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) return;
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
    in = inPipe[1];
    out = outPipe[0];
    err = errPipe[0];
  }
  ~Loopsim() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    for (int fd : {in, out, err})
      if (fd >= 0) close(fd);
  }

  // Sends one fault command (sim/control.h) and returns its answer line, without the line end.
  std::string command(const std::string& line) {
    const std::string text = line + "\n";
    if (write(in, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    const std::string answer = readFor(out, 500, 5000, '\n');
    return answer.substr(0, answer.find('\n'));
  }

  // Waits for it to end: its exit status.
  int exitStatus() {
    int status = 0;
    waitpid(std::exchange(pid, -1), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

}  // namespace korvane::testing
