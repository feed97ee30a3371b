#pragma once

#include <cstddef>
#include <functional>
#include <span>

#include "names/name_list.h"
#include "names/text_codec.h"

namespace varnik {

// Where the reader takes the list's bytes from: fills the buffer with the
// next bytes and returns how many, 0 at the end.
using ListBytes = std::function<std::size_t(std::span<char>)>;

// Reads the first two lines of a list that is not empty. A line ends at CR,
// and CR LF is one line end; a lone LF is part of the line. Each line is
// decoded and right-trimmed; of a very long line only its first
// kMaxLineBytes bytes are kept, with the same result as if the whole line had
// been read, trimmed and then cut. Memory use does not depend on the input.
ListFileState ReadListLines(const ListBytes& read, const TextCodec& codec);

}  // namespace varnik
