#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnik::test {

// A program started in a working directory with extra environment variables,
// and with the test's standard error, another file descriptor
// (standard_error), or none (-1). A run still going when the object goes is
// killed.
class ProgramRun {
 public:
  ProgramRun(const std::filesystem::path& program, const std::filesystem::path& working_dir,
             const std::vector<std::string>& environment, int standard_error = 2);
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The exit status, or nothing if the program has not ended within timeout
  // (or ended by a signal).
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int pidfd_ = -1;
};

// Runs a shell command line and returns what it printed, without the final
// line end; throws std::runtime_error when it fails.
std::string Shell(const std::string& command);

}  // namespace varnik::test
