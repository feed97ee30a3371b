#include "names/list_reader.h"

#include <algorithm>
#include <array>
#include <string>

namespace varnik {
namespace {

// Reads a file line by line in fixed-size chunks, so that memory stays the
// same whatever the length of a line.
class LineReader {
 public:
  explicit LineReader(const ListBytes& read) : read_(read) {}

  bool AtEnd() { return !Fill(); }

  // The bytes up to the next CR (or the end), of which at most kMaxLineBytes
  // are kept; the CR and an LF right after it are consumed. Returns the line
  // as the codec reads it, without trailing spaces, exactly as if the whole
  // line had been read and trimmed and then cut to the kept length. Throws
  // ListLineTooLong once the line has passed kMaxListLineBytes.
  std::string ReadLine(const char* which) {
    std::string kept;
    std::size_t length = 0;
    bool text_beyond_kept = false;  // a non-space after the kept bytes
    while (Fill()) {
      const char* const begin = buffer_.data() + pos_;
      const char* const end = buffer_.data() + size_;
      const char* const cr = std::find(begin, end, '\r');
      const std::size_t room = kMaxLineBytes - kept.size();
      const auto line_bytes = static_cast<std::size_t>(cr - begin);
      length += line_bytes;
      if (length > kMaxListLineBytes) {
        throw ListLineTooLong(std::string("la ") + which +
                              " riga \xC3\xA8 pi\xC3\xB9 lunga di 1 MiB (1048576 byte), il "
                              "massimo che Varnik legge");
      }
      const std::size_t take = std::min(room, line_bytes);
      kept.append(begin, take);
      if (!text_beyond_kept) {
        text_beyond_kept = std::any_of(begin + take, cr, [](char c) { return c != ' '; });
      }
      pos_ = static_cast<std::size_t>(cr - buffer_.data());
      if (cr != end) {
        ++pos_;
        if (Fill() && buffer_[pos_] == '\n') ++pos_;
        break;
      }
    }
    if (!text_beyond_kept) kept.erase(kept.find_last_not_of(' ') + 1);
    return kept;
  }

 private:
  // Makes sure there is an unread byte in the buffer; false at the end.
  bool Fill() {
    if (pos_ < size_) return true;
    if (ended_) return false;
    size_ = read_(buffer_);
    pos_ = 0;
    ended_ = size_ == 0;
    return !ended_;
  }

  const ListBytes& read_;
  std::array<char, 64 * 1024> buffer_;  // filled by each read before use
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  bool ended_ = false;
};

}  // namespace

ListFileState ReadListLines(const ListBytes& read, const TextCodec& codec) {
  ListFileState state{ListFileState::Kind::HasContent, std::nullopt, std::nullopt};
  LineReader reader(read);
  if (reader.AtEnd()) return state;
  state.first = codec.Decode(reader.ReadLine("prima"));
  if (reader.AtEnd()) return state;
  state.second = codec.Decode(reader.ReadLine("seconda"));
  return state;
}

}  // namespace varnik
