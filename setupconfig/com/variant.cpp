#include "setupconfig/com/variant.h"

#include <climits>

#include "setupconfig/com/com_error.h"

namespace varnik {

Variant Variant::String(std::wstring_view text) {
  if (text.size() > UINT_MAX) ThrowComError(E_OUTOFMEMORY);
  Variant result;
  BSTR string = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (string == nullptr) ThrowComError(E_OUTOFMEMORY);
  result.value_.vt = VT_BSTR;
  result.value_.bstrVal = string;
  return result;
}

Variant Variant::Boolean(bool value) {
  Variant result;
  result.value_.vt = VT_BOOL;
  result.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return result;
}

}  // namespace varnik
