#pragma once

#include <sys/types.h>

#include <string>

namespace varnik::posix {

// The new list while it is written: a file in the list's folder that no other
// process can reach. Where the file system can, it gets a name only when it
// is complete, just before the rename, so a save cut short almost never
// leaves anything behind; elsewhere (and where there is no /proc to name it
// through) it is created under a fresh name that must not exist yet (O_EXCL,
// which never follows a link and never opens a FIFO). Discarded unless it
// replaces the list.
class NewFile {
 public:
  // A file in folder (a descriptor the caller keeps open) for replacing the
  // name target there. Check fd() afterwards: below 0 when no file could be
  // made (errno says why).
  NewFile(int folder, const std::string& target, mode_t mode);
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  int fd() const { return fd_; }
  // What the file is called in messages to libraries.
  std::string Path() const;

  // Closes the complete file and renames it to target in one step; false
  // with errno set when the system refuses.
  bool Replace();

 private:
  std::string SelfLink() const;
  bool GiveName();

  int folder_;
  std::string target_;
  std::string name_;  // empty while the file has no name
  int fd_ = -1;
};

}  // namespace varnik::posix
