#include "names/entry_check.h"

#include "names/right_trim.h"

namespace varnik {
namespace {

std::u16string_view LineWord(EntryLine line) {
  return line == EntryLine::First ? u"prima" : u"seconda";
}

std::u16string Message(EntryLine line, std::u16string_view fault) {
  std::u16string text = u"Errore nella ";
  text += LineWord(line);
  text += u" riga: ";
  text += fault;
  text += u". ";
  return text;
}

}  // namespace

EntryVerdict CheckEntry(EntryLine line, std::u16string_view text) {
  std::u16string trimmed = RightTrim(text);
  if (trimmed.empty()) {
    return {EntryVerdict::Kind::Missing, {}, Message(line, u"indicare il dato")};
  }
  if (trimmed.find_first_not_of(AllowedChars) != std::u16string::npos) {
    return {EntryVerdict::Kind::BadCharacter, {}, Message(line, u"carattere non ammesso")};
  }
  return {EntryVerdict::Kind::Accepted, std::move(trimmed), {}};
}

}  // namespace varnik
