#include "tests/e2e/x_display.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace varnik::test {

XDisplay::XDisplay(std::chrono::milliseconds start_timeout) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    close(pipe_ends[0]);
    // The desktop writes its display's number to the pipe once its window
    // manager runs.
    const std::string fd = std::to_string(pipe_ends[1]);
    execl(VARNIK_X_DESKTOP, VARNIK_X_DESKTOP, "--displayfd", fd.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[1]);
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + start_timeout;
  while (number.empty() || number.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{pipe_ends[0], POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0)));
    if (polled < 0 && errno == EINTR) continue;
    char buffer[16];
    const ssize_t got = polled == 1 ? read(pipe_ends[0], buffer, sizeof buffer) : 0;
    if (got <= 0) {
      close(pipe_ends[0]);
      throw std::runtime_error("the X desktop did not start in time");
    }
    number.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipe_ends[0]);
  number.pop_back();
  name_ = ":" + number;
}

XDisplay::~XDisplay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace varnik::test
