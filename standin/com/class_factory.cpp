#include "standin/com/class_factory.h"

#include <exception>
#include <new>

#include "standin/com/standin_object.h"
#include "standin/com/standin_store.h"

namespace varnik::standin {

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  // The module is in use while it creates; a creation that fails leaves it
  // with nothing, and the stand-in's own program then ends.
  ++ServerReferences();
  struct InUse {
    ~InUse() { ReleaseServerReference(); }
  } in_use;
  try {
    const Store store = Store::FromEnvironment();
    store.Record(L"create");
    store.Pace(L"create");
    if (const auto failure = store.FailureFor(L"create")) return failure->code;
  } catch (const std::exception&) {
    return E_FAIL;
  }
  auto* created = new (std::nothrow) SetupConfigObject();
  if (created == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++ServerReferences();
  } else {
    ReleaseServerReference();
  }
  return S_OK;
}

}  // namespace varnik::standin
