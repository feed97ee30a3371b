#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <stdexcept>

#include "names/name_list.h"
#include "names/text_codec.h"

namespace varnik {

// Where the reader takes the list's bytes from: fills the buffer with the
// next bytes and returns how many, 0 at the end.
using ListBytes = std::function<std::size_t(std::span<char>)>;

// A line of the list longer than kMaxListLineBytes: what() says which, in the
// program's own words, without the file's name.
class ListLineTooLong : public std::length_error {
 public:
  using std::length_error::length_error;
};

// Reads the first two lines of a list that is not empty. A line ends at CR,
// and CR LF is one line end; a lone LF is part of the line. Each line is
// decoded and right-trimmed; of a long line only its first kMaxLineBytes
// bytes are kept, with the same result as if the whole line had been read,
// trimmed and then cut. A line longer than kMaxListLineBytes throws
// ListLineTooLong as soon as its limit is passed, without reading further, so
// memory and time do not depend on the input.
ListFileState ReadListLines(const ListBytes& read, const TextCodec& codec);

}  // namespace varnik
