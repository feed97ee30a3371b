#include "setupconfig/com/dispatch_call.h"

#include <string>

#include "setupconfig/com/com_error.h"

namespace varnik {
namespace {

// Exception information filled in by a failed Invoke; frees its strings.
struct ExceptionInfo {
  EXCEPINFO info{};
  ExceptionInfo() = default;
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
};

DISPID MemberId(IDispatch& object, std::wstring_view name) {
  std::wstring member(name);
  LPOLESTR names[] = {member.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT result = object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result)) ThrowComError(result);
  return id;
}

// Invoke with the arguments in the order Invoke wants them: the last first.
Variant Invoke(IDispatch& object, std::wstring_view name, WORD flags, DISPPARAMS& parameters) {
  const DISPID id = MemberId(object, name);
  Variant result;
  ExceptionInfo exception;
  UINT argument_error = 0;
  const HRESULT outcome =
      object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                    (flags & DISPATCH_PROPERTYPUT) != 0 ? nullptr : result.out(), &exception.info,
                    &argument_error);
  if (FAILED(outcome)) ThrowComError(outcome, &exception.info);
  return result;
}

}  // namespace

Variant GetProperty(IDispatch& object, std::wstring_view name) {
  DISPPARAMS parameters{nullptr, nullptr, 0, 0};
  return Invoke(object, name, DISPATCH_PROPERTYGET, parameters);
}

void PutProperty(IDispatch& object, std::wstring_view name, const Variant& value) {
  // Invoke reads its arguments only; the copy keeps the value's ownership here.
  VARIANT argument = value.get();
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{&argument, &named, 1, 1};
  Invoke(object, name, DISPATCH_PROPERTYPUT, parameters);
}

void CallMethod(IDispatch& object, std::wstring_view name, const Variant& argument) {
  VARIANT copy = argument.get();
  DISPPARAMS parameters{&copy, nullptr, 1, 0};
  Invoke(object, name, DISPATCH_METHOD, parameters);
}

}  // namespace varnik
