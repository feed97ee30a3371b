#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace varnik {

// The list file on disk, as the system offers it. The build supplies one side
// for the system it is for (listfile/posix, listfile/win32); the file's format
// and rules belong to the caller. A path is UTF-8 on Windows and the system's
// own bytes elsewhere; a relative path is resolved against the working
// directory at the moment of use. Every failure throws PlatformError whose
// text is the path as given, ": ", and the system's own text for the error;
// on Windows PlatformError::code() is the error as an HRESULT.

// The list, open for reading from its first byte; closed when destroyed.
class ListFileReader {
 public:
  virtual ~ListFileReader() = default;

  // The length in bytes when the file was opened.
  virtual std::uint64_t Size() const = 0;

  // Reads the next bytes into buffer and returns how many; 0 at the end.
  virtual std::size_t Read(std::span<char> buffer) = 0;

  // Deletes the file, but only while the path still names this very file, a
  // plain file (not a link), and it still holds no bytes; never a file that
  // another process puts at the path meanwhile. When the system refuses (a
  // folder the user may not write to), the file stays and nothing is
  // reported.
  virtual void DeleteIfEmpty() = 0;
};

// Opens the list for reading without waiting on anything but a copy that is
// rewriting it in place; nullptr when there is no file at the path (or at the
// end of its link). Anything but a plain file there (a FIFO, a socket, a
// device, a folder) fails, unopened where the system allows. On POSIX the
// path is walked once, and a link or a folder on the way that another user
// may have put or changed fails, naming it, as for a save.
std::unique_ptr<ListFileReader> OpenListFile(const std::string& path);

// Puts bytes in the list's place. They go into a new file in the list's own
// folder that no other process can hold (never a name that already exists,
// so never a planted link, FIFO or file), reach the disk, and then replace
// the list in one step; a reader sees the old list or the new one, whole. The
// list keeps its permissions, and its owner and group where the process may
// set them (on POSIX also its access control list and extended attributes; on
// Windows its attributes and access rules); a link to the list is written
// through and stays a link, except that on POSIX a link is followed, and a
// folder entered, only when it and the folder it stands in are the process's
// own or root's, in a folder nobody else may write to unless it is sticky
// (else the save fails, naming it). Only a plain file, or nothing, is
// replaced, and only where the process may write the list itself; anything
// else fails and is left as it is. Where the list cannot be replaced but may
// be written, it is rewritten in place under a lock that other copies and
// readers take too, with room asked for first where the file system can
// reserve it, and the old bytes put back on a failure. On failure the list is
// as it was and no new file is left behind, except where a failed rewrite in
// place could not be undone: the PlatformError's list_may_be_damaged() says
// so.
void ReplaceListFile(const std::string& path, std::string_view bytes);

}  // namespace varnik
