#include "app/options_dialog.h"

#include "app/analyser.h"
#include "base/constants.h"
#include "base/measurement.h"
#include "base/text_util.h"
#include "display/trace_display.h"

namespace ostra {

void OptionsDialog::FormShow() {
  if (open_) return;
  open_ = true;
  app_.Sweep().Stop();
  ok_pressed_ = false;
  snapshot_.Take(app_.Settings());
}

void OptionsDialog::CloseDialog() {
  app_.Host().ShowWindow(WindowId::SweepParameters, false);
  FormClose();
}

void OptionsDialog::opt_ok_btnClick() {
  app_.Guard([&] {
    ok_pressed_ = true;
    save_parameters(app_.Settings(), app_.CalDataDirectory() / kSettingsFile);
    CloseDialog();
  });
}

void OptionsDialog::opt_cancel_btnClick() { CloseDialog(); }

void OptionsDialog::info_ok_btnClick() { CloseDialog(); }

void OptionsDialog::FormClose() {
  if (!open_) return;
  open_ = false;
  if (!ok_pressed_) snapshot_.Restore(app_.Settings());
  app_.Sweep().Restart();
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
}

}  // namespace ostra

namespace ostra {

// --- Validated fields ---------------------------------------------------------------

void OptionsDialog::FieldEnter(Setting field) {
  if (!ValidatorOf(field)) return;
  previous_field_text_ = app_.Settings().Text(field);
}

void OptionsDialog::FieldExit(Setting field) {
  const auto validator = ValidatorOf(field);
  if (!validator) return;
  // The field's text is copied: the validator writes the field.
  const std::string text = app_.Settings().Text(field);
  RunValidator(*validator, previous_field_text_, text);
}

bool OptionsDialog::RunValidator(FieldValidator validator, std::string_view old_text,
                                 std::string_view new_text) {
  return ostra::RunValidator(
      validator, app_.Settings(), old_text, new_text,
      [this](const std::string& message) { app_.Host().ShowMessage(message); });
}

// --- Combo boxes ------------------------------------------------------------------------

void OptionsDialog::opt_sweep_type_boxChange() {
  InstrumentSettings& settings = app_.Settings();
  // Set by the program: the mode and format changes below do not run, so the
  // reference level and scale stay. The receiver gain goes to a
  // transmission's, as the Sweep keys set it: left at a reflection's 39 dB,
  // the phase or power sweep would stop on a saturated receiver.
  switch (ParseSweepType(settings.SweepType())) {
    case SweepKind::Phase:
      settings.SetText(Setting::Mode, "Transmission");
      settings.SetText(Setting::Format, "Phase");
      settings.SetText(Setting::RxGain, "24");
      break;
    case SweepKind::Power:
      settings.SetText(Setting::Mode, "Transmission");
      settings.SetText(Setting::Format, "Log");
      settings.SetText(Setting::RxGain, "24");
      break;
    case SweepKind::Frequency:
    case SweepKind::Other:
      break;
  }
}

void OptionsDialog::opt_mode_boxChange() {
  InstrumentSettings& settings = app_.Settings();
  const bool transmission = ParseMode(settings.Mode()) == ModeKind::Transmission;
  settings.SetText(Setting::RxGain, transmission ? "24" : "39");
}

void OptionsDialog::opt_format_boxChange() {
  InstrumentSettings& settings = app_.Settings();
  const FormatScale* pair = app_.Display().Scaling().Find(settings.Format());
  if (pair == nullptr) return;
  settings.SetText(Setting::RefLevel, FormatGeneral(pair->ref_level));
  settings.SetText(Setting::Scale, FormatGeneral(pair->scale));
}

}  // namespace ostra
