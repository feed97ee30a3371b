#pragma once

#include <cstdint>
#include <optional>

namespace varnik {

// One of the two entry lines of the window. The value is also the index of the
// line's text box and of its apply button.
enum class EntryLine : std::int16_t {
  First = 0,   // the upper line, "prima riga" in messages
  Second = 1,  // the lower line, "seconda riga" in messages
};

// The entry line a control index stands for, or nothing for an index that
// names no line.
constexpr std::optional<EntryLine> EntryLineFromIndex(std::int16_t index) {
  switch (index) {
    case 0:
      return EntryLine::First;
    case 1:
      return EntryLine::Second;
    default:
      return std::nullopt;
  }
}

constexpr int IndexOf(EntryLine line) { return static_cast<int>(line); }

}  // namespace varnik
