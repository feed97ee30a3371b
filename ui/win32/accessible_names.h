#pragma once

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <vector>

namespace varnik {

// Names that screen readers announce for controls whose own text does not say
// enough (two buttons with one caption), set through the system's
// accessibility annotation service. The service is a convenience: where it is
// missing (Wine has none) or refuses a name, the control keeps the name its
// text gives it and the program works on. COM must be initialised on the
// thread.
class AccessibleNames {
 public:
  AccessibleNames();
  AccessibleNames(const AccessibleNames&) = delete;
  AccessibleNames& operator=(const AccessibleNames&) = delete;

  // Gives the control the name, or leaves it as it is where that fails.
  void Set(HWND control, const wchar_t* name);

  // Takes the names off again: the service keeps them with the controls,
  // which must lose them before they are destroyed.
  void ClearAll();

 private:
  Microsoft::WRL::ComPtr<IAccPropServices> service_;  // null without the service
  std::vector<HWND> named_;
};

}  // namespace varnik
