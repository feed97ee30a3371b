#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/platform_error.h"
#include "names/name_list.h"
#include "names/right_trim.h"
#include "tests/support/temp_dir.h"

namespace varnik {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;
using Kind = ListFileState::Kind;

// The names of what a folder holds.
std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(test::Utf8(entry.path().filename()));
  }
  return names;
}

class NameListTest : public ::testing::Test {
 protected:
  TempDir dir_;
  NameListFile file_{test::Utf8(ListPath())};

  fs::path ListPath() const { return dir_.path() / kNameListFileName; }
  // Nothing but the list (or what stands in its place) in its folder.
  void ExpectOnlyTheList() const {
    EXPECT_EQ(FolderContents(dir_.path()), std::vector<std::string>{"name_start.txt"});
  }
  ListFileState LoadBytes(std::string_view bytes) {
    WriteBytes(ListPath(), bytes);
    return LoadNameList(file_);
  }
  std::string SavedBytes(std::u16string_view text0, std::u16string_view text1) {
    SaveNameList(text0, text1, file_);
    return ReadBytes(ListPath());
  }
};

// --- Reading: line ends -------------------------------------------------------

struct ReadCase {
  const char* label;
  std::string bytes;
  std::optional<std::u16string> first;
  std::optional<std::u16string> second;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class ReadLinesTest : public NameListTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadLinesTest, SplitsAndTrimsAsSaved) {
  const ReadCase& c = GetParam();
  const ListFileState state = LoadBytes(c.bytes);
  EXPECT_EQ(state.kind, Kind::HasContent);
  EXPECT_EQ(state.first, c.first);
  EXPECT_EQ(state.second, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ReadLinesTest,
    ::testing::Values(ReadCase{"two lines", "ROSSI\r\nROSSI-2\r\n", u"ROSSI", u"ROSSI-2"},
                      ReadCase{"only CR LF", "\r\n", u"", std::nullopt},
                      ReadCase{"one line without end", "ROSSI", u"ROSSI", std::nullopt},
                      ReadCase{"one line with end", "ROSSI\r\n", u"ROSSI", std::nullopt},
                      ReadCase{"second line without end", "A\r\nB", u"A", u"B"},
                      ReadCase{"lone CR ends a line", "A\rB\r", u"A", u"B"},
                      ReadCase{"lone LF is text", "A\nB\r\nC", u"A\nB", u"C"},
                      ReadCase{"LF before CR", "\n\r\n", u"\n", std::nullopt},
                      ReadCase{"CR CR LF", "A\r\r\n", u"A", u""},
                      ReadCase{"empty first, text second", "\r\nROSSI\r\n", u"", u"ROSSI"},
                      ReadCase{"five lines", "1\r\n2\r\n3\r\n4\r\n5\r\n", u"1", u"2"},
                      ReadCase{"NUL bytes are text", std::string("A\0B\r\n\0", 6),
                               std::u16string(u"A\0B", 3), std::u16string(u"\0", 1)}));

// --- Reading: trimming ----------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Trimming, ReadLinesTest,
    ::testing::Values(ReadCase{"trailing spaces go, leading stay", "ROSSI   \r\n  ROSSI-2\r\n",
                               u"ROSSI", u"  ROSSI-2"},
                      ReadCase{"spaces only", "   \r\n   ", u"", u""},
                      ReadCase{"tab stays", "ROSSI\t\r\nA \t \r\n", u"ROSSI\t", u"A \t"}));

// --- Reading: code page ---------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    CodePage, ReadLinesTest,
    ::testing::Values(
        ReadCase{"grave vowels one byte each", "Niccol\xF2\r\n\xE0\xE8\xEC\xF2\xF9\r\n",
                 u"Niccol\u00F2", u"\u00E0\u00E8\u00EC\u00F2\u00F9"},
        ReadCase{"euro and quotes", "\x80\x93\x94\r\n", u"\u20AC\u201C\u201D", std::nullopt},
        ReadCase{"undefined bytes read as controls", "\x81\x8D\x8F\x90\x9D",
                 u"\u0081\u008D\u008F\u0090\u009D", std::nullopt}));

// --- Reading: long lines --------------------------------------------------------

// What reading a whole line and then trimming it gives, cut to the kept length:
// the reference the bounded reader must match.
std::u16string WholeLineReference(const std::string& line) {
  std::u16string text = RightTrim(Windows1252().Decode(line));
  if (text.size() > kMaxLineBytes) text.resize(kMaxLineBytes);
  return text;
}

TEST_F(NameListTest, LongLinesReadAsIfReadWhole) {
  const std::size_t big = 200 * 1024;  // several read chunks
  const std::string cases[] = {
      std::string(big, 'A'),
      "A" + std::string(big, ' '),
      "A" + std::string(big, ' ') + "Z",
      "A" + std::string(kMaxLineBytes - 1, ' ') + "Z",
      "A" + std::string(kMaxLineBytes, ' ') + "Z",
      std::string(kMaxLineBytes, 'B') + std::string(big, ' '),
      std::string(big, ' ') + "\t",
  };
  for (const std::string& line : cases) {
    const ListFileState state = LoadBytes(line + "\r\n" + line);
    ASSERT_TRUE(state.first && state.second);
    EXPECT_EQ(*state.first, WholeLineReference(line)) << line.size();
    EXPECT_EQ(*state.second, WholeLineReference(line)) << line.size();
  }
}

// --- Empty and missing files ----------------------------------------------------

TEST_F(NameListTest, MissingFileIsEmptyAndNothingIsCreated) {
  const ListFileState state = LoadNameList(file_);
  EXPECT_EQ(state.kind, Kind::Empty);
  EXPECT_FALSE(state.first || state.second);
  EXPECT_FALSE(fs::exists(ListPath()));
}

TEST_F(NameListTest, ZeroByteFileIsEmptyAndIsAllThatIsDeleted) {
  // What another copy of the program may be writing beside the list.
  WriteBytes(dir_.path() / ".name_start.txt.0a1b2c3d", "NEW\r\n");
  const ListFileState state = LoadBytes("");
  EXPECT_EQ(state.kind, Kind::Empty);
  EXPECT_EQ(FolderContents(dir_.path()), std::vector<std::string>{".name_start.txt.0a1b2c3d"});
}

TEST_F(NameListTest, DirectoryInPlaceOfTheFileIsAPlatformError) {
  fs::create_directory(ListPath());
  EXPECT_THROW(LoadNameList(file_), PlatformError);
}

// --- Saving -----------------------------------------------------------------------

struct SaveCase {
  const char* label;
  std::u16string text0;
  std::u16string text1;
  std::string bytes;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.label; }

class SaveTest : public NameListTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveTest, WritesExactlyTwoTrimmedLines) {
  const SaveCase& c = GetParam();
  EXPECT_EQ(SavedBytes(c.text0, c.text1), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, SaveTest,
    ::testing::Values(SaveCase{"two names", u"ROSSI", u"ROSSI-2", "ROSSI\r\nROSSI-2\r\n"},
                      SaveCase{"both empty", u"", u"", "\r\n\r\n"},
                      SaveCase{"empty first", u"", u"ROSSI", "\r\nROSSI\r\n"},
                      SaveCase{"trailing spaces go", u" A  ", u"B   ", " A\r\nB\r\n"},
                      SaveCase{"tabs stay", u"A\t", u"\t", "A\t\r\n\t\r\n"},
                      SaveCase{"refused text saved as is", u"D'Amico!", u"x", "D'Amico!\r\nx\r\n"},
                      SaveCase{"grave vowels one byte each", u"Niccol\u00F2", u"\u00E0\u00F9",
                               "Niccol\xF2\r\n\xE0\xF9\r\n"},
                      SaveCase{"outside the code page becomes ?", u"A\u0100B\u4E2D", u"\U0001F600",
                               "A?B?\r\n?\r\n"},
                      SaveCase{"CR becomes ?, LF stays", u"A\rB\n", u"\r", "A?B\n\r\n?\r\n"}));

TEST_F(NameListTest, SavedListReadsBackTheSame) {
  SaveNameList(u" Niccol\u00F2 ", u"ROSSI-2", file_);
  const ListFileState state = LoadNameList(file_);
  EXPECT_EQ(state.first, u" Niccol\u00F2");
  EXPECT_EQ(state.second, u"ROSSI-2");
}

TEST_F(NameListTest, SaveReplacesALongerFileWhole) {
  WriteBytes(ListPath(), "1\r\n2\r\n3\r\n4\r\n5\r\n");
  EXPECT_EQ(SavedBytes(u"A", u"B"), "A\r\nB\r\n");
  ExpectOnlyTheList();
}

TEST_F(NameListTest, FailedReplaceKeepsTheOldFileAndLeavesNoTemporary) {
  // A directory in the list's place cannot be replaced by a file.
  fs::create_directory(ListPath());
  WriteBytes(ListPath() / "inside", "old");
  EXPECT_THROW(SaveNameList(u"A", u"B", file_), PlatformError);
  EXPECT_EQ(ReadBytes(ListPath() / "inside"), "old");
  ExpectOnlyTheList();
}

}  // namespace
}  // namespace varnik
