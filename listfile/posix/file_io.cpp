#include "listfile/posix/file_io.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "common/platform_error.h"
#include "listfile/posix/system_calls.h"

namespace varnik::posix {

bool Descriptor::Close() { return posix::Close(std::exchange(fd_, -1)) == 0; }

void Descriptor::Reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

void Fail(const std::string& path, int error, bool list_may_be_damaged) {
  PlatformError::Details details;
  details.list_may_be_damaged = list_may_be_damaged;
  throw PlatformError(path + ": " + std::strerror(error), details);
}

void RequirePlainFile(const std::string& path, const struct stat& status) {
  if (S_ISREG(status.st_mode)) return;
  if (S_ISDIR(status.st_mode)) Fail(path, EISDIR);
  const char* what = "qualcosa che non \xC3\xA8 un file";
  if (S_ISFIFO(status.st_mode)) what = "una pipe con nome (FIFO)";
  if (S_ISSOCK(status.st_mode)) what = "un socket";
  if (S_ISCHR(status.st_mode)) what = "un dispositivo a caratteri";
  if (S_ISBLK(status.st_mode)) what = "un dispositivo a blocchi";
  throw PlatformError(path + ": non \xC3\xA8 un file ordinario ma " + std::string(what) +
                      "; Varnik legge e sostituisce solo un file ordinario");
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = Retry([&] { return posix::Write(fd, bytes.data(), bytes.size()); });
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool WriteAllAt(int fd, std::string_view bytes) {
  for (off_t at = 0; !bytes.empty();) {
    const ssize_t written =
        Retry([&] { return posix::Pwrite(fd, bytes.data(), bytes.size(), at); });
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
    at += written;
  }
  return true;
}

bool ReadAllAt(int fd, std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t got = Retry([&] {
      return posix::Pread(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    });
    if (got < 0) return false;
    if (got == 0) bytes.resize(at);
    at += static_cast<std::size_t>(got);
  }
  return true;
}

bool Sync(int fd) {
  return Retry([&] { return posix::Fsync(fd); }) == 0;
}

bool LockList(int fd, short type) {
  constexpr auto kMostWait = std::chrono::seconds(3);
  constexpr auto kPause = std::chrono::milliseconds(10);
  const auto until = std::chrono::steady_clock::now() + kMostWait;
  for (;;) {
    if (Retry([&] { return posix::Lock(fd, type); }) == 0) return true;
    if (errno != EAGAIN && errno != EACCES) return false;
    if (std::chrono::steady_clock::now() >= until) {
      errno = EAGAIN;
      return false;
    }
    std::this_thread::sleep_for(kPause);
  }
}

void FailLocked(const std::string& path) {
  throw PlatformError(path + ": un altro programma tiene bloccato il file");
}

std::string FreshNameBeside(const std::string& name) {
  static std::random_device random;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%08x", random());
  return "." + name + suffix;
}

}  // namespace varnik::posix
