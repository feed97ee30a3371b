#include "tests/support/standin_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace varnik::test {
namespace {

void WriteWhole(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The first line the daemon prints on fd, waiting for it at most 10 seconds.
std::string ReadAddress(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string text;
  char buffer[256];
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    const ssize_t got = left.count() > 0 && poll(&ready, 1, static_cast<int>(left.count())) == 1
                            ? read(fd, buffer, sizeof buffer)
                            : -1;
    if (got <= 0) throw std::runtime_error("dbus-daemon did not print its address");
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text.substr(0, text.find('\n'));
}

void Kill(pid_t pid) {
  if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
}

}  // namespace

StandinBus::StandinBus(bool with_standin) {
  // The only folder of activatable services is the test's own. The stand-in
  // inherits the daemon's environment, and with it the state folder.
  const std::string dir = dir_.path().string();
  WriteWhole(dir_.path() / "bus.conf",
             "<busconfig><type>session</type><listen>unix:dir=" + dir +
                 "</listen><auth>EXTERNAL</auth><servicedir>" + dir +
                 "/services</servicedir><policy context=\"default\"><allow "
                 "send_destination=\"*\"/><allow receive_sender=\"*\"/><allow "
                 "own=\"*\"/></policy></busconfig>\n");
  if (with_standin) {
    WriteWhole(dir_.path() / "services" / "VeruVeve.SetupConfig.service",
               "[D-BUS Service]\nName=VeruVeve.SetupConfig\nExec='" VARNIK_STANDIN_PROGRAM "'\n");
  }

  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  // Not the test's standard error: a daemon outliving a crashed test would
  // keep the test runner waiting for the end of its output.
  const std::string log = dir + "/bus.log";
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT, 0600);
  std::string state = "XDG_STATE_HOME=" + dir + "/state";
  std::string config = "--config-file=" + dir + "/bus.conf";
  char* argv[] = {const_cast<char*>("env"),
                  state.data(),
                  const_cast<char*>(VARNIK_DBUS_DAEMON),
                  config.data(),
                  const_cast<char*>("--nofork"),
                  const_cast<char*>("--print-address=1"),
                  nullptr};
  const int spawned = posix_spawn(&pid_, "/usr/bin/env", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  try {
    if (spawned != 0) throw std::runtime_error("cannot start " VARNIK_DBUS_DAEMON);
    address_ = ReadAddress(pipe_ends[0]);
  } catch (...) {
    close(pipe_ends[0]);
    Kill(pid_);
    throw;
  }
  close(pipe_ends[0]);
}

StandinBus::~StandinBus() { Kill(pid_); }

std::filesystem::path StandinBus::Folder() const {
  return dir_.path() / "state" / "varnik-setupconfig-standin";
}

std::optional<std::string> StandinBus::StoredName() const {
  std::ifstream in(Folder() / "name", std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void StandinBus::StoreName(std::string_view name) const { WriteWhole(Folder() / "name", name); }

std::vector<std::string> StandinBus::Calls() const {
  std::vector<std::string> calls;
  std::ifstream in(Folder() / "calls", std::ios::binary);
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

void StandinBus::FailCall(std::string_view call, std::string_view error_name,
                          std::string_view error_message) const {
  WriteWhole(Folder() / (std::string(call) + ".fail"),
             std::string(error_name) + "\n" + std::string(error_message) + "\n");
}

void StandinBus::HangCall(std::string_view call) const {
  WriteWhole(Folder() / (std::string(call) + ".hang"), "");
}

}  // namespace varnik::test
