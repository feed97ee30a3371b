#pragma once

#include <string>
#include <string_view>

namespace varnik::win32 {

// Where the folder forbids a new file, the list itself is rewritten: room for
// the new bytes first, then the new bytes over the old ones, then the rest
// cut off, so the list is never empty on the way. A failure after the first
// byte is overwritten puts the old bytes back where the system lets it, and
// the failure says whether the list is as it was. A crash in the middle can
// leave it torn. `list` is the file itself, `path` the list's path as given.
void WriteInPlace(const std::string& path, const std::wstring& list, std::string_view bytes);

}  // namespace varnik::win32
