#include "tests/support/private_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace varnik::test {
namespace {

using Clock = std::chrono::steady_clock;

std::runtime_error SystemFailure(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

std::string XmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

// The template kept beside this file, with the test's folders filled in.
std::string BusConfig(const std::filesystem::path& listen_dir,
                      const std::filesystem::path& service_dir) {
  std::ifstream in(VARNIK_PRIVATE_BUS_CONFIG_TEMPLATE);
  if (!in) throw std::runtime_error("cannot read " VARNIK_PRIVATE_BUS_CONFIG_TEMPLATE);
  std::ostringstream text;
  text << in.rdbuf();
  std::string config = text.str();
  ReplaceAll(config, "@LISTEN_DIR@", XmlEscaped(listen_dir.string()));
  ReplaceAll(config, "@SERVICE_DIR@", XmlEscaped(std::filesystem::absolute(service_dir).string()));
  return config;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Quoted for the Exec line of an activation file, which the bus splits the way
// a shell does.
std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::chrono::milliseconds Remaining(Clock::time_point deadline) {
  return std::max(std::chrono::milliseconds(0),
                  std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

// Reads one line from fd, or throws when the deadline passes or the writer
// closes its end first.
std::string ReadLine(int fd, Clock::time_point deadline) {
  std::string line;
  char c = 0;
  while (true) {
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(Remaining(deadline).count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) throw SystemFailure("poll");
    if (polled == 0) throw std::runtime_error("dbus-daemon did not print its address in time");
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw SystemFailure("read");
    if (got == 0) throw std::runtime_error("dbus-daemon ended before printing its address");
    if (c == '\n') return line;
    line += c;
  }
}

// Waits at most `timeout` for the child to end; true when it has been reaped.
bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
  const long pidfd = syscall(SYS_pidfd_open, pid, 0);
  if (pidfd >= 0) {
    pollfd ended{static_cast<int>(pidfd), POLLIN, 0};
    int polled = 0;
    do {
      polled = poll(&ended, 1, static_cast<int>(timeout.count()));
    } while (polled < 0 && errno == EINTR);
    close(static_cast<int>(pidfd));
    if (polled <= 0) return false;
  }
  // With a pidfd the child has ended; without one (old kernels), the last
  // word is SIGKILL's, which no process outlives.
  int status = 0;
  return waitpid(pid, &status, pidfd >= 0 ? 0 : WNOHANG) == pid;
}

}  // namespace

PrivateBus::PrivateBus(const std::filesystem::path& service_dir,
                       std::chrono::milliseconds start_timeout) {
  const Clock::time_point deadline = Clock::now() + start_timeout;
  const std::filesystem::path config = dir_.Path() / "bus.conf";
  WriteFile(config, BusConfig(dir_.Path(), service_dir));

  int address_pipe[2];
  if (pipe2(address_pipe, O_CLOEXEC) != 0) throw SystemFailure("pipe2");

  // The daemon prints its address on its standard output, which is the pipe.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, address_pipe[1], STDOUT_FILENO);
  std::string config_arg = "--config-file=" + config.string();
  std::vector<char*> argv = {const_cast<char*>(VARNIK_DBUS_DAEMON), config_arg.data(),
                             const_cast<char*>("--nofork"), const_cast<char*>("--print-address=1"),
                             nullptr};
  const int spawned =
      posix_spawn(&pid_, VARNIK_DBUS_DAEMON, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(address_pipe[1]);
  if (spawned != 0) {
    close(address_pipe[0]);
    pid_ = -1;
    errno = spawned;
    throw SystemFailure("cannot start " VARNIK_DBUS_DAEMON);
  }

  try {
    address_ = ReadLine(address_pipe[0], deadline);
  } catch (...) {
    close(address_pipe[0]);
    Stop();
    throw;
  }
  close(address_pipe[0]);
}

PrivateBus::~PrivateBus() { Stop(); }

void PrivateBus::ExportAsSessionBus() {
  if (!saved_session_address_) {
    const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    saved_session_address_.emplace(previous ? std::optional<std::string>(previous) : std::nullopt);
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

void PrivateBus::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!WaitForExit(pid_, std::chrono::seconds(5))) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (saved_session_address_) {
    if (*saved_session_address_) {
      setenv("DBUS_SESSION_BUS_ADDRESS", (*saved_session_address_)->c_str(), 1);
    } else {
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    saved_session_address_.reset();
  }
}

void WriteActivationFile(const std::filesystem::path& service_dir, const std::string& bus_name,
                         const std::filesystem::path& program,
                         const std::filesystem::path& state_home) {
  std::filesystem::create_directories(service_dir);
  WriteFile(service_dir / (bus_name + ".service"),
            "[D-BUS Service]\nName=" + bus_name + "\nExec=/usr/bin/env " +
                ShellQuoted("XDG_STATE_HOME=" + state_home.string()) + " " +
                ShellQuoted(program.string()) + "\n");
}

}  // namespace varnik::test
