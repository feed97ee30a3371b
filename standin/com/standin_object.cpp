#include "standin/com/standin_object.h"

#include <oleauto.h>

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "common/win32/windows_text.h"
#include "standin/com/standin_store.h"

namespace varnik::standin {
namespace {

// The type name a script would give a value.
std::wstring TypeName(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
      return L"Empty";
    case VT_NULL:
      return L"Null";
    case VT_I2:
      return L"Integer";
    case VT_I4:
      return L"Long";
    case VT_R8:
      return L"Double";
    case VT_BSTR:
      return L"String";
    case VT_BOOL:
      return L"Boolean";
    default:
      return L"VarType " + std::to_wstring(type);
  }
}

// The value as text, the same whatever the user's locale.
std::wstring ValueText(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  // The source is only read, whatever the declaration says.
  if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&value), LOCALE_INVARIANT,
                                 VARIANT_ALPHABOOL, VT_BSTR))) {
    return L"?";
  }
  std::wstring result(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return result;
}

std::wstring Argument(const VARIANT& value) {
  return L"\t" + TypeName(value.vt) + L"\t" + ValueText(value);
}

HRESULT Fail(const Failure& failure, EXCEPINFO* exception) {
  if (failure.description.empty() || exception == nullptr) return failure.code;
  *exception = EXCEPINFO{};
  exception->bstrSource = SysAllocString(L"VeruVeve.SetupConfig");
  exception->bstrDescription =
      SysAllocStringLen(failure.description.data(), static_cast<UINT>(failure.description.size()));
  exception->scode = failure.code;
  return DISP_E_EXCEPTION;
}

HRESULT ReportException(const std::exception& error, EXCEPINFO* exception) {
  return Fail({E_FAIL, WideFromUtf8(error.what())}, exception);
}

bool IsPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

// Records the call, then gives the failure the store asks for, if any.
HRESULT Begin(const Store& store, std::wstring_view call, std::wstring_view argument,
              EXCEPINFO* exception) {
  store.Record(std::wstring(call) + std::wstring(argument));
  store.Pace(call);
  if (const std::optional<Failure> failure = store.FailureFor(call)) {
    return Fail(*failure, exception);
  }
  return S_OK;
}

HRESULT GetName(const Store& store, VARIANT* result, EXCEPINFO* exception) {
  if (const HRESULT failed = Begin(store, L"get Name", L"", exception); FAILED(failed)) {
    return failed;
  }
  const std::optional<std::wstring> name = store.ReadName();
  if (result == nullptr) return S_OK;
  VariantInit(result);
  if (!name) return S_OK;  // never assigned: Empty
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(name->data(), static_cast<UINT>(name->size()));
  return result->bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutName(const Store& store, VARIANT& value, EXCEPINFO* exception, UINT* argument_error) {
  if (const HRESULT failed = Begin(store, L"put Name", Argument(value), exception);
      FAILED(failed)) {
    return failed;
  }
  VARIANT text;
  VariantInit(&text);
  if (const HRESULT converted = VariantChangeType(&text, &value, 0, VT_BSTR); FAILED(converted)) {
    if (argument_error != nullptr) *argument_error = 0;
    return converted;
  }
  store.WriteName({text.bstrVal, SysStringLen(text.bstrVal)});
  VariantClear(&text);
  return S_OK;
}

HRESULT CallApply(const Store& store, VARIANT& argument, EXCEPINFO* exception,
                  UINT* argument_error) {
  VARIANT flag;
  VariantInit(&flag);
  if (const HRESULT converted = VariantChangeType(&flag, &argument, 0, VT_BOOL);
      FAILED(converted)) {
    store.Record(L"call Apply" + Argument(argument));
    if (argument_error != nullptr) *argument_error = 0;
    return DISP_E_TYPEMISMATCH;
  }
  return Begin(store, L"call Apply", Argument(argument), exception);
}

}  // namespace

std::atomic<long>& ServerReferences() {
  static std::atomic<long> references{0};
  return references;
}

SetupConfigObject::SetupConfigObject() { ++ServerReferences(); }

namespace {
std::atomic<void (*)()> server_empty{nullptr};
}  // namespace

void ReleaseServerReference() {
  if (--ServerReferences() == 0) {
    if (void (*const callback)() = server_empty.load()) callback();
  }
}

void WhenServerEmpty(void (*callback)()) { server_empty = callback; }

SetupConfigObject::~SetupConfigObject() { ReleaseServerReference(); }

HRESULT SetupConfigObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SetupConfigObject::AddRef() { return ++references_; }

ULONG SetupConfigObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT SetupConfigObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT SetupConfigObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT SetupConfigObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  // Names are matched without regard to case, as automation does.
  if (CompareStringOrdinal(names[0], -1, L"Name", -1, TRUE) == CSTR_EQUAL) {
    ids[0] = kNameId;
  } else if (CompareStringOrdinal(names[0], -1, L"Apply", -1, TRUE) == CSTR_EQUAL) {
    ids[0] = kApplyId;
  } else {
    ids[0] = DISPID_UNKNOWN;
  }
  // Neither member has named parameters.
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return (ids[0] == DISPID_UNKNOWN || count > 1) ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT SetupConfigObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  if (parameters == nullptr) return E_INVALIDARG;
  const UINT arguments = parameters->cArgs;
  const UINT named = parameters->cNamedArgs;
  try {
    const Store store = Store::FromEnvironment();
    if (id == kNameId && IsPut(flags)) {
      // A put passes its value as the one named argument DISPID_PROPERTYPUT.
      if (named != 1 || parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTFOUND;
      }
      if (arguments != 1) return DISP_E_BADPARAMCOUNT;
      return PutName(store, parameters->rgvarg[0], exception, argument_error);
    }
    if (id == kNameId && (flags & DISPATCH_PROPERTYGET) != 0) {
      if (arguments != 0) return DISP_E_BADPARAMCOUNT;
      return GetName(store, result, exception);
    }
    if (id == kApplyId && (flags & DISPATCH_METHOD) != 0) {
      if (named != 0) return DISP_E_NONAMEDARGS;
      if (arguments != 1) return DISP_E_BADPARAMCOUNT;
      return CallApply(store, parameters->rgvarg[0], exception, argument_error);
    }
    return DISP_E_MEMBERNOTFOUND;
  } catch (const std::exception& error) {
    return ReportException(error, exception);
  }
}

}  // namespace varnik::standin
