#include "setupconfig/com/com_setup_config.h"

#include <objbase.h>

#include <cstdint>
#include <utility>

#include "common/platform_error.h"
#include "common/win32/windows_text.h"
#include "setupconfig/com/com_error.h"
#include "setupconfig/com/dispatch_call.h"
#include "setupconfig/com/variant_text.h"

namespace varnik {

using Microsoft::WRL::ComPtr;

ComSetupConfig::ComSetupConfig(std::unique_ptr<ObjectThread> thread, ObjectWaiter& waiter)
    : thread_(std::move(thread)), waiter_(waiter) {}

std::u16string ComSetupConfig::Name() {
  auto name = std::make_shared<std::u16string>();
  thread_->Call(ObjectCall::ReadName, waiter_, [name](ComPtr<IDispatch>& object) {
    *name = VariantText(GetProperty(*object.Get(), L"Name").get());
  });
  return *name;
}

void ComSetupConfig::SetName(std::u16string_view name) {
  thread_->Call(ObjectCall::AssignName, waiter_, [value = ToWide(name)](ComPtr<IDispatch>& object) {
    PutProperty(*object.Get(), L"Name", Variant::String(value));
  });
}

void ComSetupConfig::Apply(bool value) {
  thread_->Call(ObjectCall::Apply, waiter_, [value](ComPtr<IDispatch>& object) {
    CallMethod(*object.Get(), L"Apply", Variant::Boolean(value));
  });
}

namespace {

// A failure to find or start the object's server. An unknown program id or
// class means that the object is not installed.
[[noreturn]] void ThrowCreationError(HRESULT result) {
  const bool missing = result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG;
  throw PlatformError(ComErrorText(result), {static_cast<std::uint32_t>(result), missing});
}

}  // namespace

std::unique_ptr<SetupConfig> CreateSetupConfig(std::u16string_view prog_id, ObjectWaiter& waiter) {
  auto thread = std::make_unique<ObjectThread>();
  thread->Call(ObjectCall::Create, waiter, [id = ToWide(prog_id)](ComPtr<IDispatch>& object) {
    CLSID class_id{};
    HRESULT result = CLSIDFromProgID(id.c_str(), &class_id);
    if (FAILED(result)) ThrowCreationError(result);

    // Whatever kind of server is registered: in-process, local or remote.
    ComPtr<IUnknown> created;
    result = CoCreateInstance(class_id, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&created));
    if (FAILED(result)) ThrowCreationError(result);

    result = created.As(&object);
    if (FAILED(result)) ThrowComError(result);
  });
  return std::make_unique<ComSetupConfig>(std::move(thread), waiter);
}

}  // namespace varnik
