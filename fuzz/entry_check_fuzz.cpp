// The entry check against a plain reading of its rule: arbitrary 16-bit text
// on either line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "names/entry_check.h"

namespace {

using varnik::EntryLine;
using varnik::EntryVerdict;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Allowed(char16_t c) {
  if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')) {
    return true;
  }
  const std::u16string others = u"()-_*#@&/\\<>.,:;+ \u00E0\u00E8\u00EC\u00F2\u00F9";
  return others.find(c) != std::u16string::npos;
}

EntryVerdict Reference(EntryLine line, std::u16string text) {
  while (!text.empty() && text.back() == u' ') text.pop_back();
  const std::u16string where = line == EntryLine::First ? u"prima" : u"seconda";
  if (text.empty()) {
    return {
        EntryVerdict::Kind::Missing, {}, u"Errore nella " + where + u" riga: indicare il dato. "};
  }
  for (const char16_t c : text) {
    if (!Allowed(c)) {
      return {EntryVerdict::Kind::BadCharacter,
              {},
              u"Errore nella " + where + u" riga: carattere non ammesso. "};
    }
  }
  return {EntryVerdict::Kind::Accepted, text, {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const EntryLine line = (data[0] & 1) != 0 ? EntryLine::Second : EntryLine::First;
  std::u16string text;
  for (std::size_t i = 1; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const EntryVerdict got = varnik::CheckEntry(line, text);
  const EntryVerdict want = Reference(line, text);
  Check(got.kind == want.kind && got.text == want.text && got.message == want.message);
  return 0;
}
