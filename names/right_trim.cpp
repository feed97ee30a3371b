#include "names/right_trim.h"

namespace varnik {

std::u16string RightTrim(std::u16string_view text) {
  const auto last = text.find_last_not_of(u' ');
  if (last == std::u16string_view::npos) return {};
  return std::u16string(text.substr(0, last + 1));
}

}  // namespace varnik
