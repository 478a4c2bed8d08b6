// The Sweep Parameters dialog's handlers: the snapshot taken when it is
// shown, OK (which saves the settings), Cancel and the Info page's OK, and
// its close, which puts the snapshot back unless OK was pressed and
// restarts the sweep; the enter and exit handlers of the validated fields,
// the field validators, and the changes of the three combo boxes.
#pragma once

#include <string>
#include <string_view>

#include "base/instrument_settings.h"
#include "panel/validators.h"

namespace ostra {

class Analyser;

class OptionsDialog {
 public:
  explicit OptionsDialog(Analyser& app) : app_(app) {}

  void FormShow();
  void opt_ok_btnClick();
  void opt_cancel_btnClick();
  void info_ok_btnClick();
  void FormClose();

  bool Open() const { return open_; }

  // --- Validated fields ---------------------------------------------------------
  // A field received the focus (opt_start_freq_boxEnter, ...): its text
  // becomes PreviousFieldText. Fields without a validator are ignored.
  void FieldEnter(Setting field);
  // A field lost the focus (opt_start_freq_boxExit, ...): its validator runs
  // with (PreviousFieldText, the field's text).
  void FieldExit(Setting field);
  const std::string& PreviousFieldText() const { return previous_field_text_; }

  // A validator, V(old text, new text): refused values show their message
  // and put the old text back. The keypad calls them too. True when the
  // value was accepted.
  bool RunValidator(FieldValidator validator, std::string_view old_text, std::string_view new_text);

  // --- Combo boxes, changed by the user ---------------------------------------------
  // Each reads the box's new text from the settings.
  void opt_sweep_type_boxChange();
  void opt_mode_boxChange();
  void opt_format_boxChange();

 private:
  void CloseDialog();

  Analyser& app_;
  SettingsSnapshot snapshot_;
  std::string previous_field_text_;
  bool ok_pressed_ = false;
  bool open_ = false;
};

}  // namespace ostra
