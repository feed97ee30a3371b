#include "app/varnik_dialog.h"

#include <string>
#include <utility>

#include "common/platform_error.h"
#include "names/entry_check.h"

namespace varnik {
namespace {

constexpr std::u16string_view kTitle = u"Varnik";
constexpr std::u16string_view kWarningTitle = u"ATTENZIONE";

// Runs one step of the dialog: a platform failure leaves it marked with the
// step, so the front end can tell the user what did not work.
template <typename Call>
decltype(auto) AtStep(FailedStep step, Call&& call) {
  try {
    return call();
  } catch (PlatformError& error) {
    error.MarkStep(step);
    throw;
  }
}

}  // namespace

VarnikDialog::VarnikDialog(DialogSurface& surface, SetupConfigFactory create_setup_config,
                           NameListFile list_file)
    : surface_(surface),
      waiter_(surface),
      create_setup_config_(std::move(create_setup_config)),
      list_file_(std::move(list_file)) {}

template <typename Handler>
void VarnikDialog::Act(Handler&& handler) {
  if (state_ != State::Idle) return;
  state_ = State::Acting;
  try {
    handler();
  } catch (...) {
    state_ = State::Over;
    throw;
  }
  if (state_ == State::Acting) state_ = State::Idle;
}

void VarnikDialog::Form_Load() {
  Act([&] { Load(); });
}

void VarnikDialog::CmdAvvia_Click(std::int16_t Index) {
  Act([&] { Apply(Index); });
}

void VarnikDialog::CmdAnnulla_Click() {
  // The list file is never held open between events, so there is nothing to
  // close but the window.
  Act([&] { Close(); });
}

void VarnikDialog::Close() {
  state_ = State::Over;
  surface_.CloseWindow();
}

void VarnikDialog::Load() {
  const Twips left = (surface_.ScreenWidth() - surface_.WindowWidth()) / 2;
  const Twips top = (surface_.ScreenHeight() - surface_.WindowHeight()) / 2;
  surface_.MoveWindow(left, top);
  surface_.SetTitle(kTitle);

  setup_config_ = AtStep(FailedStep::CreateObject,
                         [&] { return create_setup_config_(kSetupConfigProgId, waiter_); });

  surface_.SetEntryText(EntryLine::First, u"");
  surface_.SetEntryText(EntryLine::Second, u"");

  const ListFileState saved =
      AtStep(FailedStep::ReadList, [&] { return LoadNameList(list_file_); });
  if (saved.kind == ListFileState::Kind::Empty) {
    // The object's own value is shown as it is, trailing spaces included.
    surface_.SetEntryText(EntryLine::First,
                          AtStep(FailedStep::ReadName, [&] { return setup_config_->Name(); }));
    surface_.SetEntryText(EntryLine::Second, u"");
    return;
  }
  if (saved.first) surface_.SetEntryText(EntryLine::First, *saved.first);
  if (saved.second) surface_.SetEntryText(EntryLine::Second, *saved.second);
}

void VarnikDialog::Apply(std::int16_t Index) {
  const std::optional<EntryLine> line = EntryLineFromIndex(Index);
  if (!line || !setup_config_) return;

  // Both lines as they stand at the press: that is what the object is given
  // and what is saved, whatever changes them while the object is waited for.
  const std::u16string first = surface_.EntryText(EntryLine::First);
  const std::u16string second = surface_.EntryText(EntryLine::Second);
  const EntryVerdict verdict = CheckEntry(*line, *line == EntryLine::First ? first : second);
  if (!verdict.accepted()) {
    surface_.ShowInformation(verdict.message, kWarningTitle);
    return;
  }

  // The object first: if it fails, the list file keeps what it had.
  AtStep(FailedStep::AssignName, [&] { setup_config_->SetName(verdict.text); });
  AtStep(FailedStep::CallApply, [&] { setup_config_->Apply(true); });

  // The other line is saved as it stands, checked or not.
  AtStep(FailedStep::SaveList, [&] { SaveNameList(first, second, list_file_); });
  Close();
}

}  // namespace varnik
