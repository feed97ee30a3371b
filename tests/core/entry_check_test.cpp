#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "names/entry_check.h"

namespace varnik {
namespace {

using Kind = EntryVerdict::Kind;

TEST(EntryCheck, TrimsTheEndOnlyAndNamesTheLineAndTheFault) {
  const struct {
    EntryLine line;
    std::u16string text;
    Kind kind;
    std::u16string result;  // the accepted text, or the message
  } cases[] = {
      {EntryLine::First, u"", Kind::Missing, u"Errore nella prima riga: indicare il dato. "},
      {EntryLine::Second, u"   ", Kind::Missing, u"Errore nella seconda riga: indicare il dato. "},
      {EntryLine::First, u" A  B   ", Kind::Accepted, u" A  B"},
      {EntryLine::Second, u"ROSSI\t", Kind::BadCharacter,
       u"Errore nella seconda riga: carattere non ammesso. "},
      {EntryLine::First, u"D'Amico", Kind::BadCharacter,
       u"Errore nella prima riga: carattere non ammesso. "},
  };
  for (const auto& c : cases) {
    const EntryVerdict verdict = CheckEntry(c.line, c.text);
    EXPECT_EQ(verdict.kind, c.kind) << c.text.size();
    EXPECT_EQ(verdict.accepted() ? verdict.text : verdict.message, c.result);
  }
}

// Every 16-bit unit, between two letters, on either line: the letters A-Z
// and a-z, the digits, the space, the small grave vowels and the punctuation
// below pass; nothing else does, capital or acute vowels, controls and halves
// of surrogate pairs included.
TEST(EntryCheck, AcceptsExactlyTheAllowedCharacters) {
  const std::u16string_view others = u" ()-_*#@&/\\<>.,:;+\u00E0\u00E8\u00EC\u00F2\u00F9";
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const auto c = static_cast<char16_t>(unit);
    const bool allowed = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                         (c >= u'0' && c <= u'9') || others.find(c) != std::u16string_view::npos;
    for (const EntryLine line : {EntryLine::First, EntryLine::Second}) {
      ASSERT_EQ(CheckEntry(line, std::u16string{u'A', c, u'B'}).kind,
                allowed ? Kind::Accepted : Kind::BadCharacter)
          << "U+" << std::hex << unit;
    }
  }
}

}  // namespace
}  // namespace varnik
