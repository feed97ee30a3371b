#include "ui/win32/accessible_names.h"

namespace varnik {
namespace {

// The annotation addresses the control's own accessible object.
constexpr auto kObject = static_cast<DWORD>(OBJID_CLIENT);
constexpr auto kSelf = static_cast<DWORD>(CHILDID_SELF);

}  // namespace

AccessibleNames::AccessibleNames() {
  // A failure leaves service_ null, and every name is then skipped.
  CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                   reinterpret_cast<void**>(service_.GetAddressOf()));
}

void AccessibleNames::Set(HWND control, const wchar_t* name) {
  if (service_ == nullptr) return;
  if (SUCCEEDED(service_->SetHwndPropStr(control, kObject, kSelf, PROPID_ACC_NAME, name))) {
    named_.push_back(control);
  }
}

void AccessibleNames::ClearAll() {
  const MSAAPROPID name = PROPID_ACC_NAME;
  for (const HWND control : named_) service_->ClearHwndProps(control, kObject, kSelf, &name, 1);
  named_.clear();
}

}  // namespace varnik
