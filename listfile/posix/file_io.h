#pragma once

// What every part of the list file on POSIX systems shares: a descriptor that
// closes itself, the failures, and reads and writes that finish their job.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

namespace varnik::posix {

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Closes now and says whether the system reports an error (errno then
  // tells which); some file systems report a failed write only here.
  bool Close();

 private:
  void Reset(int fd = -1);
  int fd_;
};

// Throws the failure for the list named path: the system's text for error,
// which says all there is to say (the number behind it would mean nothing
// more to the user).
[[noreturn]] void Fail(const std::string& path, int error, bool list_may_be_damaged = false);

// Only a plain file is read or replaced: a FIFO would be waited on or
// emptied, a device read or written, a socket is no file at all. A folder
// fails as the system fails reading one.
void RequirePlainFile(const std::string& path, const struct stat& status);

bool SameFile(const struct stat& a, const struct stat& b);

// Calls call again for as long as a signal interrupts it.
template <typename Call>
auto Retry(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) return result;
  }
}

// All the bytes written, at the file's position or from its start; false with
// errno set when the system refuses.
bool WriteAll(int fd, std::string_view bytes);
bool WriteAllAt(int fd, std::string_view bytes);

// Fills bytes from the start of the file, and shortens them where the file
// ends sooner; false with errno set on an error.
bool ReadAllAt(int fd, std::string& bytes);

bool Sync(int fd);

// Takes the lock of type (F_RDLCK, F_WRLCK) on the whole list, trying again
// after a short pause for as long as another process holds it, but for a few
// seconds at most: whoever may open the list could otherwise hold it, and
// Varnik, forever. False with errno set; EAGAIN when it is held still.
bool LockList(int fd, short type);

// Throws the failure for the list named path held locked by another program
// (nothing was read or written then: the list is as it was).
[[noreturn]] void FailLocked(const std::string& path);

// A name beside the list's that nobody uses yet, most likely:
// ".<name>.<8 hex>". Whoever takes it must make sure it does not exist.
std::string FreshNameBeside(const std::string& name);

}  // namespace varnik::posix
