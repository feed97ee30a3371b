#pragma once

namespace varnik {

// Window class of the program's form, by which tools and tests find it.
inline constexpr const wchar_t* kFormClassName = L"Varnik";

// Control identifiers of the form. None is IDOK (1) or IDCANCEL (2): the
// dialog manager sends those for Enter and Esc, and the form ignores them.
inline constexpr int kTxtLabelId[2] = {100, 101};
inline constexpr int kCmdAvviaId[2] = {200, 201};
inline constexpr int kCmdAnnullaId = 300;

}  // namespace varnik
