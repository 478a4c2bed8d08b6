#include "gui/options_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>

#include "gui/handler_call.h"
#include "panel/validators.h"

namespace ostra {

namespace {

constexpr int kRowPitch = 23;
constexpr int kBoxHeight = 21;

struct Field {
  Setting setting;
  const char* label;
  const char* unit;
};

// The three stimulus tabs, in the order of their rows.
const std::array<Field, 5> kFrequencyTab = {{
    {Setting::StartFreq, "Start Frequency", "Hz"},
    {Setting::StopFreq, "Stop Frequency", "Hz"},
    {Setting::CentreFreq, "Centre Frequency", "Hz"},
    {Setting::SpanFreq, "Span", "Hz"},
    {Setting::PowerFreq, "Power", "dBm"},
}};
const std::array<Field, 6> kPhaseTab = {{
    {Setting::StartPhase, "Start Phase", "deg"},
    {Setting::StopPhase, "Stop Phase", "deg"},
    {Setting::CentrePhase, "Centre Phase", "deg"},
    {Setting::SpanPhase, "Span", "deg"},
    {Setting::PowerPhase, "Power", "dBm"},
    {Setting::FreqPhase, "Frequency", "Hz"},
}};
const std::array<Field, 6> kPowerTab = {{
    {Setting::StartPower, "Start Power", "dBm"},
    {Setting::StopPower, "Stop Power", "dBm"},
    {Setting::CentrePower, "Centre Power", "dBm"},
    {Setting::SpanPower, "Span", "dBm"},
    {Setting::PhasePower, "Phase", "deg"},
    {Setting::FreqPower, "Frequency", "Hz"},
}};
// Below the tabs: two columns.
const std::array<Field, 4> kLeftColumn = {{
    {Setting::Mode, "Mode", ""},
    {Setting::Format, "Format", ""},
    {Setting::Points, "Points", ""},
    {Setting::Dwell, "Dwell", ""},
}};
const std::array<Field, 4> kRightColumn = {{
    {Setting::Average, "Average", ""},
    {Setting::Scale, "Scale", ""},
    {Setting::RefLevel, "Reference Level", ""},
    {Setting::RxGain, "Rx Gain", "dB"},
}};

// Set by the program, not by the user.
bool Disabled(Setting s) {
  return s == Setting::Points || s == Setting::Dwell || s == Setting::RxGain ||
         s == Setting::Preamp;
}

QStringList ItemsOf(Setting s) {
  switch (s) {
    case Setting::SweepType:
      return {"Frequency", "Phase", "Power"};
    case Setting::Mode:
      return {"Reflection", "Transmission"};
    case Setting::Format:
      return {"Smith", "Log", "Phase", "VSWR", "Lin"};
    default:
      return {};
  }
}

QLabel* MakeLabel(const QString& text, QWidget* parent, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

template <size_t N>
void AddFields(const std::array<Field, N>& fields, QWidget* parent, int left, int top,
               int label_width, int box_width,
               const std::function<QWidget*(Setting, QWidget*)>& make_box) {
  for (size_t i = 0; i < N; ++i) {
    const Field& f = fields[i];
    const int y = top + static_cast<int>(i) * kRowPitch;
    QLabel* label = MakeLabel(f.label, parent, QRect(left, y, label_width, kBoxHeight));
    QWidget* box = make_box(f.setting, parent);
    box->setGeometry(left + label_width, y, box_width, kBoxHeight);
    label->setBuddy(box);
    label->setEnabled(!Disabled(f.setting));
    if (*f.unit != '\0') {
      QLabel* unit =
          MakeLabel(f.unit, parent, QRect(left + label_width + box_width + 5, y, 30, kBoxHeight));
      unit->setEnabled(!Disabled(f.setting));
    }
  }
}

}  // namespace

TOptionsForm::TOptionsForm(InstrumentSettings& settings, OptionsFormHandlers handlers,
                           QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      settings_(settings),
      handlers_(std::move(handlers)) {
  setObjectName("OptionsForm");
  setWindowTitle("Sweep Parameters");
  setFixedSize(412, 381);
  move(401, 195);

  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  pages_->setGeometry(4, 4, 404, 373);
  pages_->addTab(BuildParametersPage(), "Parameters");
  pages_->addTab(BuildInfoPage(), "Info");
  ShowAllSettings();
  // Escape closes the dialog as Cancel does, whichever page is shown.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this,
          [this] { CallHandler(handlers_.opt_cancel_btnClick); });
}

QWidget* TOptionsForm::MakeBox(Setting setting, QWidget* parent) {
  const SettingInfo& info = InfoOf(setting);
  QWidget* box = nullptr;
  const QStringList items = ItemsOf(setting);
  if (info.is_check) {
    auto* check = new QCheckBox(parent);
    connect(check, &QCheckBox::clicked, this,
            [this, setting](bool on) { settings_.SetChecked(setting, on); });
    box = check;
  } else if (!items.isEmpty()) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    // The box shows what the setting holds, as typed: no completion.
    combo->setCompleter(nullptr);
    // A choice from the list and typed text both reach the setting; text set
    // by the program does not come back here, and neither does the box
    // merely passed through (leaving it activates the text it shows).
    auto user_changed = [this, setting](const QString& text) {
      if (settings_.Text(setting) == text.toStdString()) return;
      UserEdited(setting, text);
      ComboChanged(setting);
    };
    connect(combo, &QComboBox::textActivated, this, user_changed);
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, user_changed);
    box = combo;
  } else {
    auto* edit = new QLineEdit(parent);
    connect(edit, &QLineEdit::textEdited, this,
            [this, setting](const QString& text) { UserEdited(setting, text); });
    if (ValidatorOf(setting)) edit->installEventFilter(this);
    box = edit;
  }
  box->setObjectName(info.control);
  box->setEnabled(!Disabled(setting));
  boxes_[static_cast<size_t>(setting)] = box;
  return box;
}

QWidget* TOptionsForm::BuildParametersPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  auto make_box = [this](Setting s, QWidget* parent) { return MakeBox(s, parent); };

  MakeLabel("Sweep Type ", page, QRect(10, 6, 80, kBoxHeight));
  QWidget* sweep_type = MakeBox(Setting::SweepType, page);
  sweep_type->setGeometry(90, 6, 120, kBoxHeight);

  auto* tabs = new QTabWidget(page);
  tabs->setObjectName("PageControl2");
  tabs->setGeometry(6, 32, 388, 172);
  const std::array<std::pair<const char*, const char*>, 3> sheets = {
      {{"Frequency", "FreqSheet"}, {"Phase", "PhaseSheet"}, {"Power", "PowerSheet"}}};
  std::array<QWidget*, 3> sheet_widgets{};
  for (size_t i = 0; i < sheets.size(); ++i) {
    sheet_widgets[i] = new QWidget;
    sheet_widgets[i]->setObjectName(sheets[i].second);
    tabs->addTab(sheet_widgets[i], sheets[i].first);
  }
  AddFields(kFrequencyTab, sheet_widgets[0], 8, 6, 120, 150, make_box);
  AddFields(kPhaseTab, sheet_widgets[1], 8, 6, 120, 150, make_box);
  AddFields(kPowerTab, sheet_widgets[2], 8, 6, 120, 150, make_box);
  tabs->setCurrentIndex(0);

  constexpr int kColumnsTop = 210;
  AddFields(kLeftColumn, page, 10, kColumnsTop, 50, 110, make_box);
  AddFields(kRightColumn, page, 184, kColumnsTop, 100, 70, make_box);

  const int checks_top = kColumnsTop + 4 * kRowPitch + 4;
  auto* ave_enable = static_cast<QCheckBox*>(MakeBox(Setting::AveEnable, page));
  ave_enable->setText("Average Enable");
  ave_enable->setGeometry(10, checks_top, 120, kBoxHeight);
  auto* preamp = static_cast<QCheckBox*>(MakeBox(Setting::Preamp, page));
  preamp->setText("Preamp Enable");
  preamp->setGeometry(132, checks_top, 116, kBoxHeight);

  auto* ok = new QPushButton("OK", page);
  ok->setObjectName("opt_ok_btn");
  ok->setAutoDefault(false);
  ok->setGeometry(252, checks_top - 2, 66, 26);
  connect(ok, &QPushButton::clicked, this, [this] { CallHandler(handlers_.opt_ok_btnClick); });
  auto* cancel = new QPushButton("Cancel", page);
  cancel->setObjectName("opt_cancel_btn");
  cancel->setAutoDefault(false);
  cancel->setGeometry(324, checks_top - 2, 66, 26);
  connect(cancel, &QPushButton::clicked, this,
          [this] { CallHandler(handlers_.opt_cancel_btnClick); });
  return page;
}

QWidget* TOptionsForm::BuildInfoPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  // The values can be selected and copied; none is cut off.
  auto value_label = [](const QString& name, QWidget* parent, QRect geometry) {
    auto* label = MakeLabel("", parent, geometry);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };

  auto* usb = new QGroupBox("USB", page);
  usb->setObjectName("GroupBox1");
  usb->setGeometry(8, 8, 380, 112);
  MakeLabel("Device Status:", usb, QRect(12, 26, 110, 20));
  status_ = value_label("status", usb, QRect(126, 26, 246, 20));
  MakeLabel("Identity:", usb, QRect(12, 52, 110, 20));
  // The instrument's description runs long: a line of its own, wrapped.
  serial_ = value_label("serial", usb, QRect(12, 72, 360, 34));
  serial_->setWordWrap(true);
  serial_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* id = new QGroupBox("VNA ID", page);
  id->setObjectName("GroupBox2");
  id->setGeometry(8, 128, 380, 146);
  const std::array<const char*, 4> captions = {
      "Serial no:", "Firmware Revision:", "Hardware Revision:", "Manufactured Date:"};
  const std::array<const char*, 4> names = {"VNAserial", "FirmRev", "HardRev", "Date_id"};
  std::array<QLabel*, 4> values{};
  for (size_t i = 0; i < captions.size(); ++i) {
    const int y = 26 + static_cast<int>(i) * 28;
    MakeLabel(captions[i], id, QRect(12, y, 130, 20));
    values[i] = value_label(names[i], id, QRect(146, y, 226, 20));
  }
  vna_serial_ = values[0];
  firm_rev_ = values[1];
  hard_rev_ = values[2];
  date_id_ = values[3];

  constexpr int checks_info_top = 210 + 4 * kRowPitch + 2;
  auto* ok = new QPushButton("OK", page);
  ok->setObjectName("info_ok_btn");
  ok->setAutoDefault(false);
  ok->setGeometry(324, checks_info_top, 66, 26);
  connect(ok, &QPushButton::clicked, this, [this] { CallHandler(handlers_.info_ok_btnClick); });
  ShowInfo(InfoPage{});
  return page;
}

void TOptionsForm::UserEdited(Setting setting, const QString& text) {
  const std::string value = text.toStdString();
  if (settings_.Text(setting) != value) settings_.SetText(setting, value);
}

void TOptionsForm::ComboChanged(Setting setting) {
  switch (setting) {
    case Setting::SweepType:
      CallHandler(handlers_.opt_sweep_type_boxChange);
      break;
    case Setting::Mode:
      CallHandler(handlers_.opt_mode_boxChange);
      break;
    case Setting::Format:
      CallHandler(handlers_.opt_format_boxChange);
      break;
    default:
      break;
  }
}

std::optional<Setting> TOptionsForm::FieldOf(QObject* box) const {
  for (const SettingInfo& info : SettingTable()) {
    if (boxes_[static_cast<size_t>(info.setting)] == box) return info.setting;
  }
  return std::nullopt;
}

bool TOptionsForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) {
    return QWidget::eventFilter(watched, event);
  }
  const auto field = FieldOf(watched);
  if (!field) return QWidget::eventFilter(watched, event);
  // The focus leaving for another window (a message box, say) and coming
  // back is no entering or leaving of the field.
  const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
  const bool window_change =
      reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
  if (event->type() == QEvent::FocusIn) {
    if (!(window_change && current_field_ == field)) {
      current_field_ = field;
      if (handlers_.FieldEnter) CallHandler([&] { handlers_.FieldEnter(*field); });
    }
  } else if (!window_change && current_field_ == field) {
    current_field_.reset();
    if (handlers_.FieldExit) CallHandler([&] { handlers_.FieldExit(*field); });
  }
  return QWidget::eventFilter(watched, event);
}

void TOptionsForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Shown again, the field with the focus is entered afresh.
  current_field_.reset();
}

void TOptionsForm::ShowSetting(Setting setting) {
  QWidget* box = Box(setting);
  if (auto* check = qobject_cast<QCheckBox*>(box)) {
    if (check->isChecked() != settings_.Checked(setting)) {
      check->setChecked(settings_.Checked(setting));
    }
    return;
  }
  const QString text = QString::fromStdString(settings_.Text(setting));
  if (auto* combo = qobject_cast<QComboBox*>(box)) {
    if (combo->currentText() != text) combo->setEditText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(box)) {
    if (edit->text() != text) edit->setText(text);
  }
}

void TOptionsForm::ShowAllSettings() {
  for (const SettingInfo& info : SettingTable()) ShowSetting(info.setting);
}

void TOptionsForm::ShowInfo(const InfoPage& info) {
  status_->setText(QString::fromStdString(info.status));
  serial_->setText(QString::fromStdString(info.serial));
  vna_serial_->setText(QString::fromStdString(info.VNAserial));
  firm_rev_->setText(QString::fromStdString(info.FirmRev));
  hard_rev_->setText(QString::fromStdString(info.HardRev));
  date_id_->setText(QString::fromStdString(info.Date_id));
}

void TOptionsForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window restored by the window manager is not a new showing.
  if (!event->spontaneous()) CallHandler(handlers_.FormShow);
}

void TOptionsForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  CallHandler(handlers_.FormClose);
}

}  // namespace ostra
