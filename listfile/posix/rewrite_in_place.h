#pragma once

#include <string_view>

#include "listfile/posix/file_io.h"
#include "listfile/posix/walk.h"

namespace varnik::posix {

// Where the list cannot be replaced (a folder that forbids new files, a
// sticky folder, an append-only folder, a list that is a mount point of its
// own) or a new file could not be given the list's owner and group, the list
// itself, open for writing as list, is rewritten. Every copy
// that does so, and start-up while it reads, holds the list's lock meanwhile,
// so two copies never mix their bytes and a reader never sees a list half
// written; the list's length is taken under the lock. A lock another program
// holds for more than a few seconds fails the save with nothing written. Room for the new bytes
// is asked for first, where the file system can reserve it; then the new
// bytes go over the old ones and the rest is cut off. A failure after that
// puts the old bytes back, and says the list is as it was only when it is
// then shown to be byte for byte what it was. Unlike a replacement, a crash
// in the middle can leave the list torn. False, with nothing written, when
// by the time the lock is held another copy has replaced the list and
// may_restart: the save must start again.
bool RewriteInPlace(const ListPlace& place, Descriptor list, std::string_view bytes,
                    bool may_restart);

}  // namespace varnik::posix
