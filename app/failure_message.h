#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

namespace varnik {

// What the user is told about a failure that ends the program, twice: cut to
// fit an error box, and whole for standard error. The message says, in the
// program's own words, which step failed and, when the user stopped waiting
// for the object, says so; then gives the platform's own text,
// its code in hexadecimal where it has one, and, when the configuration object
// is not installed, says so and what to do about it.
struct FailureMessage {
  // Paragraphs apart by an empty line, for the box to wrap; the platform's
  // text takes at most kBoxPlatformRows rows of kBoxRowLength characters.
  std::u16string box;
  // UTF-8, every line (none empty) begun with "varnik: " and ended with a
  // line feed; the platform's text whole.
  std::string standard_error;
};

inline constexpr std::size_t kBoxRowLength = 60;
inline constexpr std::size_t kBoxPlatformRows = 12;

// The message for a PlatformError (its step, text, code and object_missing),
// or for any other exception that ends the program (its what()). Texts from
// outside the program have their control characters escaped (EscapeControls).
FailureMessage MessageForFailure(const std::exception& error);

// Text from outside the program made safe to show and to write to a terminal.
// A line end (LF, CR LF or a lone CR) becomes LF. Every other control
// character is written as an escape, so nothing from outside can move the
// cursor, clear or retitle a terminal, cut a message short or reorder what
// is shown: C0 controls and DEL as \xHH, C1 controls, the bidirectional and
// line-separating format characters and unpaired surrogates as \uHHHH.
std::u16string EscapeControls(std::u16string_view text);

// Text cut to what a box shows in at most max_rows rows of width characters,
// whatever its own way of wrapping lines: a line takes a row for every width
// characters or part of them. A word longer than a row gets line breaks, so
// that no box must be wider than a row to show it; surrogate pairs stay
// whole. Where text is left out, what is kept ends with an ellipsis ("…").
// width and max_rows are at least 1.
std::u16string BoundText(std::u16string_view text, std::size_t width, std::size_t max_rows);

}  // namespace varnik
