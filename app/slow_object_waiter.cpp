#include "app/slow_object_waiter.h"

#include <string>
#include <utility>

#include "common/platform_error.h"

namespace varnik {
namespace {

constexpr std::u16string_view kTitle = u"Varnik";

std::u16string_view WaitingStep(ObjectCall which) {
  switch (which) {
    case ObjectCall::Create:
      return u"la creazione dell'oggetto";
    case ObjectCall::ReadName:
      return u"la lettura del Name attuale";
    case ObjectCall::AssignName:
      return u"l'assegnazione del nuovo Name";
    case ObjectCall::Apply:
      return u"la risposta alla chiamata ad Apply";
  }
  return u"una risposta";
}

std::u16string WaitingText(ObjectCall which) {
  return u"L'oggetto di configurazione \"" + std::u16string(kSetupConfigProgId) +
         u"\" non risponde.\n\nVarnik sta aspettando " + std::u16string(WaitingStep(which)) +
         u".\n\nAttendere ancora o interrompere l'attesa?";
}

}  // namespace

SlowObjectWaiter::SlowObjectWaiter(DialogSurface& surface, std::chrono::milliseconds first_wait,
                                   std::chrono::milliseconds next_wait)
    : surface_(surface), first_wait_(first_wait), next_wait_(next_wait) {}

void SlowObjectWaiter::Wait(ObjectCall which, PendingCall& call) {
  const bool was_waiting = std::exchange(waiting_, true);
  const struct Restore {
    bool& waiting;
    bool value;
    ~Restore() { waiting = value; }
  } restore{waiting_, was_waiting};
  if (call.WaitFor(first_wait_)) return;
  const std::u16string text = WaitingText(which);
  // An answer that has come counts, whatever the box says: one that came
  // just before the box opened or as it closed wins over a stop.
  while (!call.Answered()) {
    const WaitChoice choice = surface_.AskToKeepWaiting(text, kTitle, call);
    if (choice == WaitChoice::Answered || call.Answered()) return;
    if (choice == WaitChoice::Stop) {
      throw PlatformError("", PlatformError::Details{std::nullopt, false, true});
    }
    if (choice == WaitChoice::SessionEnding) {
      PlatformError::Details details;
      details.session_ending = true;
      throw PlatformError("", details);
    }
    if (call.WaitFor(next_wait_)) return;
  }
}

}  // namespace varnik
