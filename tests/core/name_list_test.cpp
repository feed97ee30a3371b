// The list file's format, and what loading and saving leave in its folder.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/platform_error.h"
#include "names/list_reader.h"
#include "names/name_list.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;
using Names = std::vector<std::string>;

class NameListTest : public ::testing::Test {
 protected:
  ListFileState LoadBytes(const std::string& bytes) {
    WriteBytes(list_, bytes);
    return LoadNameList(file_);
  }

  test::TempDir dir_;
  fs::path list_ = dir_.path() / kNameListFileName;
  NameListFile file_{test::Utf8(list_)};
};

TEST_F(NameListTest, ReadsTheFirstTwoLinesEndedByCrAndTrimmedAtTheEnd) {
  const std::size_t max = kMaxLineBytes, big = 200 * 1024;
  const std::u16string cut = u"A" + std::u16string(max - 1, u' ');
  const struct {
    std::string bytes;
    std::optional<std::u16string> first, second;
  } cases[] = {
      {"ROSSI   \r\n  ROSSI-2\r\n", u"ROSSI", u"  ROSSI-2"},
      {"ROSSI", u"ROSSI", std::nullopt},
      // Long lines, across many reads, as if read whole, trimmed and then cut
      // to the kept length.
      {std::string(big, 'A') + "\r\nB", std::u16string(max, u'A'), u"B"},
      {"A" + std::string(big, ' ') + "\r\nA" + std::string(big, ' ') + "Z", u"A", cut},
      {"A" + std::string(max - 2, ' ') + "Z\r\nA" + std::string(max - 1, ' ') + "Z",
       u"A" + std::u16string(max - 2, u' ') + u"Z", cut},
      {std::string(max, 'B') + std::string(big, ' ') + "\r\n" + std::string(big, ' ') + "\t",
       std::u16string(max, u'B'), std::u16string(max, u' ')},
  };
  for (const auto& c : cases) {
    const ListFileState state = LoadBytes(c.bytes);
    EXPECT_EQ(state.kind, ListFileState::Kind::HasContent) << c.bytes.substr(0, 40);
    EXPECT_EQ(state.first, c.first) << c.bytes.substr(0, 40);
    EXPECT_EQ(state.second, c.second) << c.bytes.substr(0, 40);
  }
}

// A line longer than the limit fails the reading, saying which, as soon as
// the limit is passed: an endless line is not read to its end.
TEST_F(NameListTest, ALineLongerThanTheLimitFailsWithoutReadingFurther) {
  WriteBytes(list_, "A\r\n" + std::string(kMaxListLineBytes + 1, 'B') + "\r\n");
  std::string text;
  try {
    LoadNameList(file_);
  } catch (const PlatformError& error) {
    text = error.what();
  }
  EXPECT_EQ(text, file_.path +
                      ": la seconda riga \xC3\xA8 pi\xC3\xB9 lunga di 1 MiB (1048576 byte), "
                      "il massimo che Varnik legge");
  std::size_t read = 0;
  const auto endless = [&](std::span<char> buffer) {
    std::fill(buffer.begin(), buffer.end(), 'x');
    read += buffer.size();
    return buffer.size();
  };
  EXPECT_THROW(ReadListLines(endless, Windows1252()), ListLineTooLong);
  EXPECT_LE(read, kMaxListLineBytes + 64 * 1024);
}

// A missing list and an empty one both count as no list; only the empty one
// is deleted, and nothing else, not even what another copy may be writing.
TEST_F(NameListTest, NoListAndAnEmptyListAreEmptyAndOnlyTheEmptyOneIsDeleted) {
  WriteBytes(dir_.path() / ".name_start.txt.0a1b2c3d", "NEW\r\n");
  const ListFileState missing = LoadNameList(file_);
  EXPECT_EQ(missing.kind, ListFileState::Kind::Empty);
  EXPECT_FALSE(missing.first || missing.second);
  EXPECT_EQ(test::FolderContents(dir_.path()), Names{".name_start.txt.0a1b2c3d"});
  EXPECT_EQ(LoadBytes("").kind, ListFileState::Kind::Empty);
  EXPECT_EQ(test::FolderContents(dir_.path()), Names{".name_start.txt.0a1b2c3d"});
}

TEST_F(NameListTest, SaveReplacesTheListWithTwoTrimmedLines) {
  const struct {
    std::u16string text0, text1;
    std::string bytes;
  } cases[] = {
      {u"", u"", "\r\n\r\n"},
      {u" A  ", u"B   ", " A\r\nB\r\n"},
      {u"A\t", u"\t", "A\t\r\n\t\r\n"},
      {u"Niccol\u00F2", u"\u00E0\u00F9", "Niccol\xF2\r\n\xE0\xF9\r\n"},
      {u"A\rB\n", u"\r", "A?B\n\r\n?\r\n"},  // a CR would end its line early
  };
  for (const auto& c : cases) {
    WriteBytes(list_, "1\r\n2\r\n3\r\n4\r\n5\r\n");
    SaveNameList(c.text0, c.text1, file_);
    EXPECT_EQ(ReadBytes(list_), c.bytes);
    EXPECT_EQ(test::FolderContents(dir_.path()), Names{"name_start.txt"});
  }
}

}  // namespace
}  // namespace varnik
