// Reading a list file: arbitrary bytes in; the result must be what reading the
// whole file at once gives, and must keep the file's rules.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "names/list_reader.h"
#include "names/right_trim.h"

namespace {

using varnik::kMaxLineBytes;
using varnik::ListFileState;

void Check(bool condition) {
  if (!condition) std::abort();
}

// The plain way: split everything at CR (CR LF counting as one line end),
// decode, trim, and cut to the kept length.
std::vector<std::u16string> WholeFileLines(const std::string& bytes) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start < bytes.size() && lines.size() < 2) {
    std::size_t cr = bytes.find('\r', start);
    if (cr == std::string::npos) cr = bytes.size();
    std::u16string line =
        varnik::RightTrim(varnik::Windows1252().Decode(bytes.substr(start, cr - start)));
    if (line.size() > kMaxLineBytes) line.resize(kMaxLineBytes);
    lines.push_back(line);
    start = cr + 1;
    if (start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return lines;
}

void CheckLine(const std::u16string& line, std::size_t input_size) {
  Check(line.size() <= input_size && line.size() <= kMaxLineBytes);
  Check(line.find(u'\r') == std::u16string::npos);
  // A line cut to the kept length may end in spaces that come before more
  // text further on; any other line has lost its trailing spaces.
  Check(line.empty() || line.back() != u' ' || line.size() == kMaxLineBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Handed out in reads of varying length, as a file may give them.
  std::size_t offset = 0;
  ListFileState state;
  try {
    state = varnik::ReadListLines(
        [&](std::span<char> buffer) {
          const std::size_t count =
              std::min({buffer.size(), bytes.size() - offset, 1 + offset % 4096});
          std::memcpy(buffer.data(), bytes.data() + offset, count);
          offset += count;
          return count;
        },
        varnik::Windows1252());
  } catch (const varnik::ListLineTooLong&) {
    // Only a line past the limit is refused, and no more is read than it.
    Check(size > varnik::kMaxListLineBytes && offset <= varnik::kMaxListLineBytes * 2 + 8192);
    return 0;
  }

  Check(state.kind == ListFileState::Kind::HasContent);
  Check(state.first.has_value() || !state.second.has_value());
  std::vector<std::u16string> lines;
  if (state.first) lines.push_back(*state.first);
  if (state.second) lines.push_back(*state.second);
  for (const std::u16string& line : lines) CheckLine(line, size);
  Check(lines == WholeFileLines(bytes));
  return 0;
}
