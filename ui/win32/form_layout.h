#pragma once

#include <array>

#include "app/dialog_surface.h"
#include "ui/win32/control_ids.h"

namespace varnik {

// The form as designed, in twips: its client area and its five controls in
// tab order, each with the name a screen reader announces for it, which says
// the line it belongs to.
inline constexpr Twips kClientWidth = 6645;
inline constexpr Twips kClientHeight = 1050;

inline constexpr const wchar_t* kDesignTitle = L"---";
inline constexpr const wchar_t* kDesignEntryText = L"XZZZZZZZZZZZZZZZZZZZZX";
inline constexpr const wchar_t* kAvviaCaption = L"Metti questo dato su Name";
inline constexpr const wchar_t* kAnnullaCaption = L"Esci";

// How many characters an entry line holds, typed or set.
inline constexpr int kEntryMaxLength = 22;

struct ControlLayout {
  enum class Kind { Entry, Button };

  Kind kind;
  int id;
  Twips left, top, width, height;
  const wchar_t* text;
  const wchar_t* accessible_name;
};

inline constexpr std::array<ControlLayout, 5> kFormControls = {{
    {ControlLayout::Kind::Entry, kTxtLabelId[0], 240, 120, 2505, 285, kDesignEntryText,
     L"Prima riga"},
    {ControlLayout::Kind::Button, kCmdAvviaId[0], 2880, 120, 2400, 330, kAvviaCaption,
     L"Metti la prima riga su Name"},
    {ControlLayout::Kind::Button, kCmdAnnullaId, 5640, 360, 735, 330, kAnnullaCaption, L"Esci"},
    {ControlLayout::Kind::Entry, kTxtLabelId[1], 240, 600, 2505, 285, kDesignEntryText,
     L"Seconda riga"},
    {ControlLayout::Kind::Button, kCmdAvviaId[1], 2880, 600, 2400, 330, kAvviaCaption,
     L"Metti la seconda riga su Name"},
}};

}  // namespace varnik
