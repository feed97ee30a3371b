#pragma once

// The way to the list, walked once, one name at a time, through descriptors:
// every later step (reading the list, the new file, the rename, the rewrite
// in place, the empty list's removal) works on what the walk reached, never
// on a path looked up again.
#include <sys/stat.h>

#include <string>

#include "listfile/posix/file_io.h"

namespace varnik::posix {

struct ListPlace {
  std::string shown;      // the list as it was named, for messages
  Descriptor folder;      // the folder that holds the list (O_PATH)
  std::string name;       // the list's name in that folder
  Descriptor file;        // what stands there, not followed (O_PATH); none when nothing does
  struct stat status {};  // of file
  int missing = 0;        // ENOENT when a folder on the way does not exist
};

// Walks path from the working directory (from / when absolute), following
// links and entering folders only as long as nobody but the user and root
// can have put them there: each belongs to the user or to root, and so does
// the folder it stands in, which nobody else may write to unless it is
// sticky (as /tmp). In a folder others may write, what stands at the list's
// place must be the user's, root's or the folder owner's. Anything else fails
// with a text that names it, before anything is opened beyond it.
ListPlace Walk(const std::string& path);

// The plain file the walk reached, opened with flags (O_RDONLY, O_RDWR): the
// very file, through the link the system keeps for each open descriptor;
// without /proc, what stands under its name, used only when it is the file
// the walk reached. None when nothing does by now. Fails, naming the list,
// when it is not a plain file, when another file stands under its name by
// then, or when the system refuses (a list the user may not write).
Descriptor OpenReached(const ListPlace& place, int flags, struct stat& status);

}  // namespace varnik::posix
