#include "setupconfig/com/variant_text.h"

#include "common/win32/windows_text.h"
#include "setupconfig/com/com_error.h"
#include "setupconfig/com/variant.h"

namespace varnik {

std::u16string VariantText(const VARIANT& value) {
  if (value.vt == (VT_VARIANT | VT_BYREF) && value.pvarVal != nullptr) {
    return VariantText(*value.pvarVal);
  }
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return u"";

  Variant text;
  // The source is only read, whatever the declaration says.
  const HRESULT result = VariantChangeTypeEx(text.out(), const_cast<VARIANT*>(&value),
                                             LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(result)) ThrowComError(result);
  const BSTR string = text.get().bstrVal;
  return FromWide({string, SysStringLen(string)});
}

}  // namespace varnik
