#pragma once

#include <string>
#include <string_view>

#include "names/entry_line.h"

namespace varnik {

// Every character an entry may consist of: punctuation, the small vowels with
// a grave accent, the space, digits and the plain Latin letters.
inline constexpr std::u16string_view AllowedChars =
    u"()-_*#@\u00E0\u00E8\u00EC\u00F2\u00F9&/\\<>.,:;+ "
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct EntryVerdict {
  enum class Kind { Accepted, Missing, BadCharacter };

  Kind kind;
  // Accepted: the line's text without its trailing spaces, ready for Name.
  std::u16string text;
  // Missing and BadCharacter: the warning for the user, naming the line.
  std::u16string message;

  bool accepted() const { return kind == Kind::Accepted; }
};

// Decides whether the text of an entry line may be applied. A line is refused
// when nothing is left of it after right-trimming, or when any character is
// not in AllowedChars (compared exactly: no case or accent folding).
EntryVerdict CheckEntry(EntryLine line, std::u16string_view text);

}  // namespace varnik
