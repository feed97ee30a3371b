#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "names/text_codec.h"

namespace varnik {

// The file that remembers the two entry lines between runs: two lines of 8-bit
// text, each ended by CR LF. The name is relative, so it is resolved against
// the working directory at the moment the file is opened.
inline constexpr char kNameListFileName[] = "name_start.txt";

// Where the list lives and how its bytes map to text. The defaults are the
// program's own; tests and the Windows program (the system's ANSI code page)
// hand in others. The path is UTF-8 on Windows and the system's own bytes
// elsewhere.
struct NameListFile {
  std::string path{kNameListFileName};
  const TextCodec* codec = &Windows1252();
};

// What LoadNameList found.
struct ListFileState {
  enum class Kind {
    Empty,       // no file, or a file of zero bytes (which has been deleted)
    HasContent,  // a file with at least one byte
  };

  Kind kind = Kind::Empty;
  std::optional<std::u16string> first;   // line 1, right-trimmed, if there is one
  std::optional<std::u16string> second;  // line 2, right-trimmed, if there is one
};

// The most bytes of one line that are kept. A line can be of any length on
// disk, but an entry line shows only its first 22 characters, so the rest is
// skipped rather than held in memory.
inline constexpr std::size_t kMaxLineBytes = 1024;

// The longest line a list may have, as system configuration readers bound
// theirs: anything longer is no list of names, and reading it fails.
inline constexpr std::size_t kMaxListLineBytes = 1024 * 1024;

// Reads the saved lines. A line ends at CR, and CR LF is one line end; a lone
// LF is part of the line. Lines after the second are ignored. A missing file
// is Empty and nothing is created. A zero-byte file is Empty and is deleted
// (if it cannot be deleted, it is left alone); nothing else is ever deleted.
// Throws PlatformError when the file exists but cannot be read, is not a
// plain file, or has a line longer than kMaxListLineBytes, and (on POSIX)
// when the way to it passes a link or a folder that another user may have
// put or changed, as OpenListFile (listfile/list_file.h) tells.
ListFileState LoadNameList(const NameListFile& file = {});

// Writes the two texts, right-trimmed, each followed by CR LF, so that they
// read back as the same two lines: a CR inside a text, which would end its
// line early, is written as '?', like a character the code page cannot hold.
// Neither line is checked. The list is replaced whole, as ReplaceListFile
// (listfile/list_file.h) tells. Throws PlatformError when the list cannot be
// written; the old list is then left as it was, unless the error's
// list_may_be_damaged() says that it may not be.
void SaveNameList(std::u16string_view text0, std::u16string_view text1,
                  const NameListFile& file = {});

}  // namespace varnik
