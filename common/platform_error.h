#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace varnik {

// The step of the program that a platform failure stopped. The dialog logic
// marks each failure with its step on the way out, so the front end can say
// in the user's words what did not work.
enum class FailedStep {
  Unknown,
  CreateObject,  // creating the configuration object
  ReadName,      // reading its Name
  AssignName,    // assigning its Name
  CallApply,     // calling its Apply
  ReadList,      // reading (or tidying away) the list file
  SaveList,      // saving the list file
};

// A failure of the operating system or of the outside object: a file that
// cannot be read or written, an object that cannot be created or called.
// what() is the platform's own error text in UTF-8, unchanged. code() is the
// platform's numeric code where it has one (an HRESULT on Windows).
// object_missing() is true when the failure means that the configuration
// object is not installed at all. stopped_by_user() is true when the object
// did not answer and the user chose to stop waiting for it; session_ending()
// when the session ended while the object was being waited for.
// list_may_be_damaged() is true when a failed save of the list could not
// leave the list as it was. Nothing below the front end handles it: the front
// end reports it and ends the program with a non-zero exit status.
class PlatformError : public std::runtime_error {
 public:
  struct Details {
    std::optional<std::uint32_t> code;
    bool object_missing = false;
    // The user stopped waiting for the object to answer.
    bool stopped_by_user = false;
    // A failed save of the list file could not leave the list as it was.
    bool list_may_be_damaged = false;
    // The session ended while the object was being waited for.
    bool session_ending = false;
  };

  // Two constructors rather than `Details details = {}`: the compilers refuse
  // Details' member defaults in a default argument inside this class.
  explicit PlatformError(const std::string& text) : PlatformError(text, Details{}) {}
  PlatformError(const std::string& text, Details details)
      : std::runtime_error(text), details_(details) {}

  std::optional<std::uint32_t> code() const { return details_.code; }
  bool object_missing() const { return details_.object_missing; }
  bool stopped_by_user() const { return details_.stopped_by_user; }
  bool list_may_be_damaged() const { return details_.list_may_be_damaged; }
  bool session_ending() const { return details_.session_ending; }

  FailedStep step() const { return step_; }
  // Marks the step, unless an inner step has marked it already.
  void MarkStep(FailedStep step) {
    if (step_ == FailedStep::Unknown) step_ = step;
  }

 private:
  Details details_;
  FailedStep step_ = FailedStep::Unknown;
};

}  // namespace varnik
