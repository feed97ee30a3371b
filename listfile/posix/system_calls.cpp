#include "listfile/posix/system_calls.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace varnik::posix {
namespace {

CallHook& Hook() {
  static CallHook hook;
  return hook;
}

// The error the hook wants for the call, 0 for none.
int Refused(Call call) { return Hook() ? Hook()(call) : 0; }

template <typename Result>
Result Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

CallHook SetCallHook(CallHook hook) { return std::exchange(Hook(), std::move(hook)); }

int Open(const char* path, int flags, mode_t mode) {
  if (const int error = Refused(Call::Open)) return Fail<int>(error);
  return open(path, flags, mode);
}

int Create(const char* path, int flags, mode_t mode) {
  if (const int error = Refused(Call::Create)) return Fail<int>(error);
  return open(path, flags, mode);
}

int Fchown(int fd, uid_t owner, gid_t group) {
  if (const int error = Refused(Call::Chown)) return Fail<int>(error);
  return fchown(fd, owner, group);
}

int Fchmod(int fd, mode_t mode) {
  if (const int error = Refused(Call::Chmod)) return Fail<int>(error);
  return fchmod(fd, mode);
}

// Without an error context the libraries report nothing themselves; errno
// tells what failed.
int CopyAcl(const char* from_path, int from, const char* to_path, int to) {
  if (const int error = Refused(Call::CopyAcl)) return Fail<int>(error);
  return perm_copy_fd(from_path, from, to_path, to, nullptr);
}

int CopyAttributes(const char* from_path, int from, const char* to_path, int to) {
  if (const int error = Refused(Call::CopyAttributes)) return Fail<int>(error);
  return attr_copy_fd(from_path, from, to_path, to, nullptr, nullptr);
}

ssize_t Pread(int fd, void* buffer, size_t count, off_t offset) {
  if (const int error = Refused(Call::Read)) return Fail<ssize_t>(error);
  return pread(fd, buffer, count, offset);
}

ssize_t Write(int fd, const void* bytes, size_t count) {
  if (const int error = Refused(Call::Write)) return Fail<ssize_t>(error);
  return write(fd, bytes, count);
}

ssize_t Pwrite(int fd, const void* bytes, size_t count, off_t offset) {
  if (const int error = Refused(Call::Write)) return Fail<ssize_t>(error);
  return pwrite(fd, bytes, count, offset);
}

int PosixFallocate(int fd, off_t offset, off_t length) {
  if (const int error = Refused(Call::Allocate)) return error;
  return posix_fallocate(fd, offset, length);
}

int Ftruncate(int fd, off_t length) {
  if (const int error = Refused(Call::Truncate)) return Fail<int>(error);
  return ftruncate(fd, length);
}

int Fsync(int fd) {
  if (const int error = Refused(Call::Sync)) return Fail<int>(error);
  return fsync(fd);
}

// A refused close still closes, as the system's does.
int Close(int fd) {
  if (const int error = Refused(Call::Close)) {
    close(fd);
    return Fail<int>(error);
  }
  return close(fd);
}

int Linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
  if (const int error = Refused(Call::Link)) return Fail<int>(error);
  return linkat(from_dir, from, to_dir, to, flags);
}

int Renameat2(const char* from, const char* to, unsigned int flags) {
  if (const int error = Refused(Call::Rename)) return Fail<int>(error);
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

int Unlink(const char* path) {
  if (const int error = Refused(Call::Unlink)) return Fail<int>(error);
  return unlink(path);
}

}  // namespace varnik::posix
