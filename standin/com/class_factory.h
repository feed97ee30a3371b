#pragma once

#include <windows.h>

#include <objbase.h>

namespace varnik::standin {

// The factory of the stand-in object, shared by the DLL and the stand-in's
// own program. One factory lives as long as its module; server locks and
// objects keep the module (see ServerReferences).
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // Records "create", takes its pace and fails it as the store says.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

}  // namespace varnik::standin
