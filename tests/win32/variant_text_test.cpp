#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <functional>
#include <string>

#include "common/platform_error.h"
#include "setupconfig/com/variant.h"
#include "setupconfig/com/variant_text.h"

namespace varnik {
namespace {

struct TextCase {
  const char* label;
  std::function<Variant()> make;
  std::u16string expected;
};

Variant OfType(VARTYPE type, const std::function<void(VARIANT&)>& fill) {
  Variant value;
  value.get().vt = type;
  fill(value.get());
  return value;
}

class VariantTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(VariantTextTest, ConvertsAsAutomationDoes) {
  const Variant value = GetParam().make();
  EXPECT_EQ(VariantText(value.get()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, VariantTextTest,
    ::testing::Values(
        TextCase{"empty", [] { return Variant(); }, u""},
        TextCase{"null", [] { return OfType(VT_NULL, [](VARIANT&) {}); }, u""},
        TextCase{"string_untrimmed", [] { return Variant::String(L" ROSSI  "); }, u" ROSSI  "},
        TextCase{"long", [] { return OfType(VT_I4, [](VARIANT& v) { v.lVal = 42; }); }, u"42"},
        TextCase{"integer", [] { return OfType(VT_I2, [](VARIANT& v) { v.iVal = -7; }); }, u"-7"},
        TextCase{"boolean_true", [] { return Variant::Boolean(true); }, u"True"},
        TextCase{"boolean_false", [] { return Variant::Boolean(false); }, u"False"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(VariantText, ReadsThroughAReference) {
  Variant inner = Variant::String(L"Niccol\u00F2");
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_VARIANT | VT_BYREF;
  reference.pvarVal = &inner.get();
  EXPECT_EQ(VariantText(reference), u"Niccol\u00F2");
}

TEST(VariantText, ValueWithoutTextIsAPlatformError) {
  const Variant object = OfType(VT_UNKNOWN, [](VARIANT& v) { v.punkVal = nullptr; });
  EXPECT_THROW(VariantText(object.get()), PlatformError);
}

}  // namespace
}  // namespace varnik
