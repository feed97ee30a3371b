#include "tests/e2e/program_run.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace varnik::test {

ProgramRun::ProgramRun(const std::filesystem::path& program,
                       const std::filesystem::path& working_dir,
                       const std::vector<std::string>& environment, int standard_error) {
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    if (standard_error < 0) close(STDERR_FILENO);
    if (standard_error > STDERR_FILENO) dup2(standard_error, STDERR_FILENO);
    if (chdir(working_dir.c_str()) != 0) _exit(126);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd_ < 0) throw std::runtime_error("pidfd_open failed");
}

ProgramRun::~ProgramRun() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (pidfd_ >= 0) close(pidfd_);
}

std::optional<int> ProgramRun::WaitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  pollfd ended{pidfd_, POLLIN, 0};
  int polled = 0;
  do {
    polled = poll(&ended, 1, static_cast<int>(timeout.count()));
  } while (polled < 0 && errno == EINTR);
  if (polled != 1) return std::nullopt;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

std::string Shell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command + "\n" + output);
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

}  // namespace varnik::test
