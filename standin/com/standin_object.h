#pragma once

#include <windows.h>

#include <oaidl.h>

#include <atomic>

namespace varnik::standin {

// Member ids of the stand-in's two members.
inline constexpr DISPID kNameId = 1;
inline constexpr DISPID kApplyId = 2;

// Objects and server locks alive in this module; the DLL may unload, and
// the stand-in's own program ends, when there are none.
std::atomic<long>& ServerReferences();
// Takes one off ServerReferences; at zero, calls the function given to
// WhenServerEmpty, if any (the stand-in's own program then ends).
void ReleaseServerReference();
void WhenServerEmpty(void (*callback)());

// The stand-in configuration object: IDispatch only, with a Name property
// kept in the store's file and an Apply method taking one Boolean. It checks
// its arguments as strictly as a typed automation object would, records every
// call in the store, and fails the calls the store tells it to fail.
class SetupConfigObject final : public IDispatch {
 public:
  SetupConfigObject();
  SetupConfigObject(const SetupConfigObject&) = delete;
  SetupConfigObject& operator=(const SetupConfigObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch; there is no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override;

 private:
  ~SetupConfigObject();

  std::atomic<ULONG> references_{1};
};

}  // namespace varnik::standin
