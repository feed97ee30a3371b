#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "names/text_codec.h"

namespace varnik {

// The list file's text in the system's ANSI code page (Windows-1252 on
// Western European systems), converted by Windows itself. A character the
// code page cannot hold is written as '?', never as a look-alike.
class AnsiCodePage final : public TextCodec {
 public:
  // code_page is for tests; the program uses the system's.
  explicit AnsiCodePage(UINT code_page = CP_ACP) : code_page_(code_page) {}

  std::u16string Decode(std::string_view bytes) const override;
  std::string Encode(std::u16string_view text) const override;

 private:
  UINT code_page_;
};

}  // namespace varnik
