#include "names/name_list.h"

#include <algorithm>
#include <memory>

#include "common/platform_error.h"
#include "listfile/list_file.h"
#include "names/list_reader.h"
#include "names/right_trim.h"

namespace varnik {
namespace {

// One line of the file, with its line end.
std::string LineBytes(std::u16string_view text, const TextCodec& codec) {
  std::u16string line = RightTrim(text);
  std::replace(line.begin(), line.end(), u'\r', u'?');
  return codec.Encode(line) + "\r\n";
}

}  // namespace

ListFileState LoadNameList(const NameListFile& file) {
  const std::unique_ptr<ListFileReader> list = OpenListFile(file.path);
  if (!list) return {};
  if (list->Size() == 0) {
    // An empty file means no saved list. Deleting it keeps the folder as a
    // first run leaves it; a folder that forbids this is no reason to stop.
    list->DeleteIfEmpty();
    return {};
  }
  try {
    return ReadListLines([&](std::span<char> buffer) { return list->Read(buffer); }, *file.codec);
  } catch (const ListLineTooLong& too_long) {
    throw PlatformError(file.path + ": " + too_long.what());
  }
}

void SaveNameList(std::u16string_view text0, std::u16string_view text1, const NameListFile& file) {
  ReplaceListFile(file.path, LineBytes(text0, *file.codec) + LineBytes(text1, *file.codec));
}

}  // namespace varnik
