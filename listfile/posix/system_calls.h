#pragma once

#include <sys/types.h>

#include <functional>

namespace varnik::posix {

// The system calls the list file makes to look a name up or to change
// anything on disk, each through one thin function here that forwards to the
// system. Tests hand in a hook that is asked before each call and may make it
// fail, or change what stands on disk, so that every step of a save can be
// shown to fail cleanly and nothing between two steps can steer it; the
// program sets none.
enum class Call {
  Open,            // openat(): each step of the walk to the list, the list, its folder
  Create,          // openat() of the new file (O_TMPFILE or O_EXCL)
  Chown,           // fchown()
  Chmod,           // fchmod()
  CopyAcl,         // libacl's perm_copy_fd()
  CopyAttributes,  // libattr's attr_copy_fd(), and an NFSv4 access control list
  Lock,            // fcntl(F_OFD_SETLK) on the list
  Read,            // pread()
  Write,           // write(), pwrite()
  Allocate,        // fallocate()
  Truncate,        // ftruncate()
  Sync,            // fsync()
  Close,           // close()
  Link,            // linkat(), naming the new file
  Rename,          // renameat2()
  Unlink,          // unlinkat()
};

// Returns 0 to let the call go to the system, or an errno value for the call
// to fail with, as the system would fail it.
using CallHook = std::function<int(Call)>;

// Sets the hook (an empty one lets every call through) and returns the last.
CallHook SetCallHook(CallHook hook);

// As their namesakes: -1 with errno set on failure. Open is openat() for
// Call::Open, Create for Call::Create. Lock takes an open file description's
// lock of the given type (F_RDLCK, F_WRLCK) on the whole file, without
// waiting for it (EAGAIN or EACCES while another holds it). Fallocate reserves room without
// changing the file's length.
int Open(int folder, const char* path, int flags, mode_t mode = 0);
int Create(int folder, const char* path, int flags, mode_t mode);
int Fchown(int fd, uid_t owner, gid_t group);
int Fchmod(int fd, mode_t mode);
int CopyAcl(const char* from_path, int from, const char* to_path, int to);
int CopyAttributes(const char* from_path, int from, const char* to_path, int to);
int Lock(int fd, short type);
ssize_t Pread(int fd, void* buffer, size_t count, off_t offset);
ssize_t Write(int fd, const void* bytes, size_t count);
ssize_t Pwrite(int fd, const void* bytes, size_t count, off_t offset);
int Fallocate(int fd, off_t length);
int Ftruncate(int fd, off_t length);
int Fsync(int fd);
int Close(int fd);
int Linkat(int from_folder, const char* from, int to_folder, const char* to, int flags);
int Renameat2(int from_folder, const char* from, int to_folder, const char* to, unsigned int flags);
int Unlinkat(int folder, const char* name);

}  // namespace varnik::posix
