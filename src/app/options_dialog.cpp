#include "app/options_dialog.h"

#include "app/analyser.h"
#include "base/constants.h"
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
