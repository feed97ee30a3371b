#include "names/name_list.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "common/platform_error.h"
#include "names/right_trim.h"

namespace varnik {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const fs::path& path, const std::string& reason) {
  const std::u8string name = path.u8string();
  throw PlatformError(std::string(name.begin(), name.end()) + ": " + reason);
}

// The system's text for the last failed C library call, for the stream
// operations that report no error code of their own.
std::string LastErrorText(const char* fallback) {
  const int error = errno;
  return error != 0 ? std::strerror(error) : fallback;
}

// Reads a file line by line in fixed-size chunks, so that memory stays the
// same whatever the length of a line.
class LineReader {
 public:
  LineReader(std::istream& in, const fs::path& path) : in_(in), path_(path) {}

  bool AtEnd() { return !Fill(); }

  // The bytes up to the next CR (or the end), of which at most kMaxLineBytes
  // are kept; the CR and an LF right after it are consumed. Returns the line
  // as the codec reads it, without trailing spaces, exactly as if the whole
  // line had been read and trimmed and then cut to the kept length.
  std::string ReadLine() {
    std::string kept;
    bool text_beyond_kept = false;  // a non-space after the kept bytes
    while (Fill()) {
      const char* const begin = buffer_.data() + pos_;
      const char* const end = buffer_.data() + size_;
      const char* const cr = std::find(begin, end, '\r');
      const std::size_t room = kMaxLineBytes - kept.size();
      const auto line_bytes = static_cast<std::size_t>(cr - begin);
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
    errno = 0;
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    size_ = static_cast<std::size_t>(in_.gcount());
    pos_ = 0;
    if (in_.bad()) Fail(path_, LastErrorText("read error"));
    if (!in_) ended_ = true;
    return size_ > 0;
  }

  std::istream& in_;
  const fs::path& path_;
  std::array<char, 64 * 1024> buffer_{};
  std::size_t pos_ = 0;
  std::size_t size_ = 0;
  bool ended_ = false;
};

}  // namespace

fs::path PendingSavePath(const NameListFile& file) {
  fs::path pending = file.path;
  pending += ".tmp";
  return pending;
}

ListFileState LoadNameList(const NameListFile& file) {
  // A save that was cut short leaves its unfinished file behind; it is never
  // read, and tidying it away is worth a try but not a failure.
  std::error_code ignored;
  fs::remove(PendingSavePath(file), ignored);

  std::error_code error;
  const std::uintmax_t size = fs::file_size(file.path, error);
  if (error == std::errc::no_such_file_or_directory) return {};
  if (error) Fail(file.path, error.message());
  if (size == 0) {
    // An empty file means no saved list. Deleting it keeps the directory as a
    // first run leaves it; a directory that forbids this is no reason to stop.
    fs::remove(file.path, ignored);
    return {};
  }

  errno = 0;
  std::ifstream in(file.path, std::ios::binary);
  if (!in) Fail(file.path, LastErrorText("cannot open"));

  ListFileState state{ListFileState::Kind::HasContent, std::nullopt, std::nullopt};
  LineReader reader(in, file.path);
  if (reader.AtEnd()) return state;
  state.first = file.codec->Decode(reader.ReadLine());
  if (reader.AtEnd()) return state;
  state.second = file.codec->Decode(reader.ReadLine());
  return state;
}

void SaveNameList(std::u16string_view text0, std::u16string_view text1, const NameListFile& file) {
  std::string bytes = file.codec->Encode(RightTrim(text0));
  bytes += "\r\n";
  bytes += file.codec->Encode(RightTrim(text1));
  bytes += "\r\n";

  const fs::path pending = PendingSavePath(file);
  std::error_code ignored;
  errno = 0;
  std::ofstream out(pending, std::ios::binary | std::ios::trunc);
  if (!out) Fail(pending, LastErrorText("cannot create"));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) {
    const std::string reason = LastErrorText("write error");
    out.close();
    fs::remove(pending, ignored);
    Fail(pending, reason);
  }
  out.close();
  if (!out) {
    const std::string reason = LastErrorText("write error");
    fs::remove(pending, ignored);
    Fail(pending, reason);
  }

  // Replaces the old list in one step: a reader sees either the old list or
  // the new one, whole.
  std::error_code error;
  fs::rename(pending, file.path, error);
  if (error) {
    fs::remove(pending, ignored);
    Fail(file.path, error.message());
  }
}

}  // namespace varnik
