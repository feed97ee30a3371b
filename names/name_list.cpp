#include "names/name_list.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "names/file_error.h"
#include "names/list_reader.h"
#include "names/right_trim.h"

namespace varnik {
namespace fs = std::filesystem;

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

  return ReadListLines(in, *file.codec, file.path);
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
