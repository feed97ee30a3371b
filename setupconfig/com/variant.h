#pragma once

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <string_view>

namespace varnik {

// Owns one VARIANT and clears it when done.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant& operator=(Variant&&) = delete;

  // A string value (VT_BSTR); throws PlatformError when out of memory.
  static Variant String(std::wstring_view text);
  // A Boolean value (VT_BOOL) as automation spells it: True is -1.
  static Variant Boolean(bool value);

  VARIANT& get() { return value_; }
  const VARIANT& get() const { return value_; }
  VARIANT* out() { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace varnik
