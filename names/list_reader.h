#pragma once

#include <filesystem>
#include <istream>

#include "names/name_list.h"
#include "names/text_codec.h"

namespace varnik {

// Reads the first two lines of a list that is not empty. A line ends at CR,
// and CR LF is one line end; a lone LF is part of the line. Each line is
// decoded and right-trimmed; of a very long line only its first
// kMaxLineBytes bytes are kept, with the same result as if the whole line had
// been read, trimmed and then cut. Memory use does not depend on the input.
// Throws PlatformError, naming source, when the stream fails to read.
ListFileState ReadListLines(std::istream& in, const TextCodec& codec,
                            const std::filesystem::path& source);

}  // namespace varnik
