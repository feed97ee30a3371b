#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "names/entry_check.h"

namespace varnik {
namespace {

using Kind = EntryVerdict::Kind;

struct EntryCase {
  const char* label;
  std::u16string text;
  Kind kind;
  std::u16string accepted;  // the accepted text, for Accepted
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.label; }

class EntryCheckTest : public ::testing::TestWithParam<EntryCase> {};

// Every case is judged on both lines, which must agree on the verdict.
TEST_P(EntryCheckTest, SameVerdictOnBothLines) {
  const EntryCase& c = GetParam();
  for (const EntryLine line : {EntryLine::First, EntryLine::Second}) {
    const EntryVerdict verdict = CheckEntry(line, c.text);
    EXPECT_EQ(verdict.kind, c.kind) << c.label << " on line " << IndexOf(line);
    if (c.kind == Kind::Accepted) {
      EXPECT_EQ(verdict.text, c.accepted) << c.label;
      EXPECT_TRUE(verdict.message.empty()) << c.label;
    } else {
      EXPECT_FALSE(verdict.message.empty()) << c.label;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, EntryCheckTest,
    ::testing::Values(
        EntryCase{"empty", u"", Kind::Missing, {}},
        EntryCase{"spaces only", u"     ", Kind::Missing, {}},
        EntryCase{"leading space kept", u" ROSSI", Kind::Accepted, u" ROSSI"},
        EntryCase{"trailing spaces dropped", u"ROSSI   ", Kind::Accepted, u"ROSSI"},
        EntryCase{"inner spaces kept", u" A  B ", Kind::Accepted, u" A  B"},
        EntryCase{"trailing tab", u"ROSSI\t", Kind::BadCharacter, {}},
        EntryCase{"tab only", u"\t", Kind::BadCharacter, {}},
        EntryCase{"small grave vowels", u"Niccol\u00F2 \u00E0\u00E8\u00EC\u00F9", Kind::Accepted,
                  u"Niccol\u00F2 \u00E0\u00E8\u00EC\u00F9"},
        EntryCase{"capital grave vowel", u"NICCOL\u00D2", Kind::BadCharacter, {}},
        EntryCase{"acute accent", u"caff\u00E9", Kind::BadCharacter, {}},
        EntryCase{"apostrophe", u"D'Amico", Kind::BadCharacter, {}},
        EntryCase{"several bad characters", u"a!b?c=", Kind::BadCharacter, {}},
        EntryCase{"mixed case and digits", u"Rossi-2", Kind::Accepted, u"Rossi-2"},
        EntryCase{"underscore", u"rossi_2", Kind::Accepted, u"rossi_2"},
        EntryCase{"all punctuation", u"()-_*#@&/\\<>.,:;+", Kind::Accepted, u"()-_*#@&/\\<>.,:;+"},
        EntryCase{"NUL character", std::u16string(u"AB\0C", 4), Kind::BadCharacter, {}},
        EntryCase{"outside Latin-1", u"\u20AC10", Kind::BadCharacter, {}},
        EntryCase{"surrogate pair", u"A\U0001F600", Kind::BadCharacter, {}},
        EntryCase{"no-break space", u"A\u00A0B", Kind::BadCharacter, {}}),
    [](const ::testing::TestParamInfo<EntryCase>& param_info) {
      std::string name;
      for (const char* p = param_info.param.label; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(EntryCheck, RefusesEachCharacterOutsideTheSet) {
  for (const char16_t c :
       std::u16string_view(u"'\"!?=$%[]{}|~^`\t\u00C0\u00C8\u00CC\u00D2\u00D9\u00E1")) {
    const std::u16string text{u'A', c, u'B'};
    EXPECT_EQ(CheckEntry(EntryLine::First, text).kind, Kind::BadCharacter) << static_cast<int>(c);
  }
}

TEST(EntryCheck, AllowedCharsHasEightyFiveDistinctCharacters) {
  EXPECT_EQ(AllowedChars.size(), 85u);
  for (std::size_t i = 0; i < AllowedChars.size(); ++i) {
    EXPECT_EQ(AllowedChars.find(AllowedChars[i]), i) << "repeated at " << i;
  }
}

struct MessageCase {
  EntryLine line;
  std::u16string text;
  std::u16string message;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << "line " << IndexOf(c.line); }

class EntryMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(EntryMessageTest, NamesTheLineAndTheFault) {
  const MessageCase& c = GetParam();
  EXPECT_EQ(CheckEntry(c.line, c.text).message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, EntryMessageTest,
    ::testing::Values(
        MessageCase{EntryLine::First, u"  ", u"Errore nella prima riga: indicare il dato. "},
        MessageCase{EntryLine::Second, u"", u"Errore nella seconda riga: indicare il dato. "},
        MessageCase{EntryLine::First, u"D'Amico",
                    u"Errore nella prima riga: carattere non ammesso. "},
        MessageCase{EntryLine::Second, u"D'Amico!",
                    u"Errore nella seconda riga: carattere non ammesso. "}));

}  // namespace
}  // namespace varnik
