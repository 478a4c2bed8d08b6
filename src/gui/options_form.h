// TOptionsForm: the "Sweep Parameters" dialog. Its boxes show the instrument
// settings and write what the user types back into them; its "Info" page
// shows the connected instrument.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/app_shell.h"
#include "base/instrument_settings.h"

class QTabWidget;

namespace ostra {

struct OptionsFormHandlers {
  std::function<void()> FormShow;
  std::function<void()> FormClose;
  std::function<void()> opt_ok_btnClick;
  std::function<void()> opt_cancel_btnClick;
  std::function<void()> info_ok_btnClick;
  // A validated field received or lost the focus (opt_..._boxEnter, Exit).
  std::function<void(Setting)> FieldEnter;
  std::function<void(Setting)> FieldExit;
  // The user changed a combo box (after its text reached the setting).
  std::function<void()> opt_sweep_type_boxChange;
  std::function<void()> opt_mode_boxChange;
  std::function<void()> opt_format_boxChange;
};

class TOptionsForm : public QWidget {
 public:
  TOptionsForm(InstrumentSettings& settings, OptionsFormHandlers handlers,
               QWidget* parent = nullptr);

  // Shows one setting, or all of them, in its box (after the model changed).
  void ShowSetting(Setting setting);
  void ShowAllSettings();
  // Fills the "Info" page.
  void ShowInfo(const InfoPage& info);

  // The box that holds `setting` (a QLineEdit, QComboBox or QCheckBox).
  QWidget* Box(Setting setting) const { return boxes_[static_cast<size_t>(setting)]; }
  QTabWidget* Pages() const { return pages_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildParametersPage();
  QWidget* BuildInfoPage();
  QWidget* MakeBox(Setting setting, QWidget* parent);
  void UserEdited(Setting setting, const QString& text);
  void ComboChanged(Setting setting);
  // The validated field the user is in, if any.
  std::optional<Setting> FieldOf(QObject* box) const;

  InstrumentSettings& settings_;
  OptionsFormHandlers handlers_;
  QTabWidget* pages_ = nullptr;
  std::array<QWidget*, kSettingCount> boxes_{};
  QLabel* status_ = nullptr;
  QLabel* serial_ = nullptr;
  QLabel* vna_serial_ = nullptr;
  QLabel* firm_rev_ = nullptr;
  QLabel* hard_rev_ = nullptr;
  QLabel* date_id_ = nullptr;
  // The field whose enter handler ran last and whose exit handler has not.
  std::optional<Setting> current_field_;
};

}  // namespace ostra
