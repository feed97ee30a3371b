// Text at the edges to Windows, converted by the system: the object's Name as
// automation gives it, and the list file's bytes in the ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "common/platform_error.h"
#include "common/win32/ansi_code_page.h"
#include "names/text_codec.h"
#include "setupconfig/com/variant.h"
#include "setupconfig/com/variant_text.h"

namespace varnik {
namespace {

VARIANT Value(VARTYPE type, LONGLONG number = 0) {
  VARIANT value{};
  value.vt = type;
  value.llVal = number;  // the widest member: each smaller one reads its low bytes
  return value;
}

// A Name of any kind reads as the text automation makes of it (a whole
// number, whose text the locale does not change), Empty and Null as no text;
// what has no text fails.
TEST(VariantText, NameOfAnyKindReadsAsItsText) {
  Variant inner = Variant::String(std::wstring(L"A\0B", 3));
  VARIANT by_reference = Value(VT_VARIANT | VT_BYREF);
  by_reference.pvarVal = &inner.get();
  const std::pair<VARIANT, std::u16string> cases[] = {
      {Value(VT_EMPTY), u""},
      {Value(VT_NULL), u""},
      {Value(VT_BOOL, VARIANT_TRUE), u"True"},
      {Value(VT_BOOL, VARIANT_FALSE), u"False"},
      {Value(VT_I4, 0xFFFFFFD6), u"-42"},
      {by_reference, std::u16string(u"A\0B", 3)},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(VariantText(value), text) << value.vt;

  for (const VARTYPE no_text :
       std::initializer_list<VARTYPE>{VT_UNKNOWN, VT_DISPATCH, VT_ERROR, VT_ARRAY | VT_I4})
    EXPECT_THROW(VariantText(Value(no_text)), PlatformError) << no_text;
}

// Code page 1252 as Windows has it reads and writes every byte as the
// program's own table does, the five it leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) included, and writes a character it lacks as '?', never as a
// look-alike.
TEST(AnsiCodePage, Windows1252AsTheSystemHasItAgreesWithTheProgramsTable) {
  const AnsiCodePage system(1252);
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(system.Decode(byte), Windows1252().Decode(byte)) << b;
    EXPECT_EQ(system.Encode(Windows1252().Decode(byte)), byte) << b;
  }
  EXPECT_EQ(system.Encode(u"\u0141\u00F3\u017A \u2260 \U0001F600!"), "?\xF3? ? ?!");
}

}  // namespace
}  // namespace varnik
