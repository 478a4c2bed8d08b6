// The Sweep Parameters dialog's handlers: the snapshot taken when it is
// shown, OK (which saves the settings), Cancel and the Info page's OK, and
// its close, which puts the snapshot back unless OK was pressed and
// restarts the sweep.
#pragma once

#include "base/instrument_settings.h"

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

 private:
  void CloseDialog();

  Analyser& app_;
  SettingsSnapshot snapshot_;
  bool ok_pressed_ = false;
  bool open_ = false;
};

}  // namespace ostra
