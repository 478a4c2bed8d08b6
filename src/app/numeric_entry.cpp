#include "app/numeric_entry.h"

#include "app/analyser.h"
#include "app/marker_actions.h"
#include "app/options_dialog.h"
#include "base/text_util.h"
#include "display/trace_display.h"

namespace ostra {

namespace {

using Entry = NumericEntry;

// The keys' handlers, in the order of KeypadKey.
constexpr void (Entry::*kKeyHandlers[kKeypadKeyCount])() = {
    &Entry::ptn_1Click, &Entry::ptn_2Click,   &Entry::ptn_3Click,     &Entry::MHz_ptnClick,
    &Entry::ptn_4Click, &Entry::ptn_5Click,   &Entry::ptn_6Click,     &Entry::kHz_ptnClick,
    &Entry::ptn_7Click, &Entry::ptn_8Click,   &Entry::ptn_9Click,     &Entry::Hz_ptnClick,
    &Entry::ptn_0Click, &Entry::ptn_dotClick, &Entry::ptn_minusClick, &Entry::enter_ptnClick,
};

}  // namespace

const std::string& NumericEntry::EntryFunction() const {
  return app_.Panel().Entry().EntryFunction();
}

const std::string& NumericEntry::Text() const { return app_.Panel().Entry().Text(); }

// --- Keys ------------------------------------------------------------------------

void NumericEntry::KeypadClick(KeypadKey key) {
  const int index = static_cast<int>(key);
  if (index < 0 || index >= kKeypadKeyCount) return;
  (this->*kKeyHandlers[index])();
}

void NumericEntry::Append(std::string_view piece) {
  Keypad& pad = app_.Panel().Entry();
  if (!pad.Enabled()) return;  // a disabled key takes no click
  // A selected text (a refused entry) is replaced by the key.
  std::string text = pad.Selected() ? std::string() : pad.Text();
  if (piece == "." && text.empty()) {
    text = "0.";
  } else {
    text += piece;
  }
  pad.SetText(std::move(text));
}

void NumericEntry::ptn_0Click() { Append("0"); }
void NumericEntry::ptn_1Click() { Append("1"); }
void NumericEntry::ptn_2Click() { Append("2"); }
void NumericEntry::ptn_3Click() { Append("3"); }
void NumericEntry::ptn_4Click() { Append("4"); }
void NumericEntry::ptn_5Click() { Append("5"); }
void NumericEntry::ptn_6Click() { Append("6"); }
void NumericEntry::ptn_7Click() { Append("7"); }
void NumericEntry::ptn_8Click() { Append("8"); }
void NumericEntry::ptn_9Click() { Append("9"); }
void NumericEntry::ptn_dotClick() { Append("."); }
void NumericEntry::ptn_minusClick() { Append("-"); }

void NumericEntry::UnitKey(std::string_view unit) {
  const Keypad& pad = app_.Panel().Entry();
  if (!pad.Enabled() || pad.Text().empty()) return;
  ApplyEntry(unit);
}

void NumericEntry::MHz_ptnClick() { UnitKey("MHz"); }
void NumericEntry::kHz_ptnClick() { UnitKey("kHz"); }
void NumericEntry::Hz_ptnClick() { UnitKey("Hz"); }
void NumericEntry::enter_ptnClick() { UnitKey("Hz"); }

void NumericEntry::enterboxChange(const std::string& text) {
  Keypad& pad = app_.Panel().Entry();
  if (!pad.Enabled()) return;
  pad.SetText(text);
  pad.SetSelected(false);
}

void NumericEntry::enterboxKey(EntryKeyboardKey key) {
  if (!app_.Panel().Entry().Enabled()) return;
  switch (key) {
    case EntryKeyboardKey::Escape:
      EscapeEntry();
      break;
    case EntryKeyboardKey::Backspace:
      RemoveLastCharacter();
      break;
    case EntryKeyboardKey::MHz:
      MHz_ptnClick();
      break;
    case EntryKeyboardKey::kHz:
      kHz_ptnClick();
      break;
    case EntryKeyboardKey::Hz:
      Hz_ptnClick();
      break;
  }
}

void NumericEntry::EscapeEntry() {
  const bool restart = sweep_held_;
  AbandonEntry();
  if (restart) app_.Sweep().Restart();
}

void NumericEntry::RemoveLastCharacter() {
  Keypad& pad = app_.Panel().Entry();
  std::string text = pad.Selected() ? std::string() : pad.Text();
  if (!text.empty()) text.pop_back();
  pad.SetText(std::move(text));
  pad.SetSelected(false);
}

// --- Opening and closing ---------------------------------------------------------------

void NumericEntry::SetKeypadEnabled(bool on) { app_.Panel().Entry().SetEnabled(on); }

void NumericEntry::SelectEntry(std::string_view entry) {
  Keypad& pad = app_.Panel().Entry();
  SetKeypadEnabled(true);
  pad.SetColour(EntryColour::Aqua);
  pad.RequestFocus();
  pad.SetEntryFunction(std::string(entry));
}

void NumericEntry::AbandonEntry() {
  Keypad& pad = app_.Panel().Entry();
  sweep_held_ = false;
  SetKeypadEnabled(false);
  pad.SetColour(EntryColour::Silver);
  pad.SetText("");
}

void NumericEntry::CloseEntry() {
  Keypad& pad = app_.Panel().Entry();
  sweep_held_ = false;
  pad.SetColour(EntryColour::Silver);
  pad.SetText("");
  // A setting that is not a number is reported; the entry closes anyway.
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  SetKeypadEnabled(false);
}

// --- Applying ------------------------------------------------------------------------

void NumericEntry::ApplyEntry(std::string_view unit) {
  const std::string text = Text();
  const std::string entry = EntryFunction();
  const SweepKind sweep = ParseSweepType(app_.Settings().SweepType());
  const int64_t factor = UnitFactor(unit, sweep, entry);
  if (const EntryRow* row = FindEntryRow(sweep, entry)) {
    if (!ApplyRow(*row, text, factor)) {
      // The entry stays open with its text selected: the next key starts
      // the value afresh.
      app_.Panel().Entry().SetSelected(!Text().empty());
      return;
    }
  }
  CloseEntry();
}

bool NumericEntry::ApplyRow(const EntryRow& row, const std::string& text, int64_t factor) {
  switch (row.conversion) {
    case EntryConversion::Marker:
      return app_.Markers().SetMarkerFromEntry(text, factor);
    case EntryConversion::Text:
      app_.Markers().DrawConstVswrCircle(text);
      return true;
    case EntryConversion::Whole:
    case EntryConversion::Rounded:
    case EntryConversion::OneDecimal:
      return ApplyToField(row, text, factor);
  }
  return true;
}

bool NumericEntry::ApplyToField(const EntryRow& row, const std::string& text, int64_t factor) {
  // A value that reprograms the sweep waits until the instrument is free;
  // the entry stays open with its text.
  if (row.stop_and_restart && !app_.Owner().Ask(EntryFunction())) return false;
  if (row.stop_and_restart) app_.Sweep().Stop();
  const std::optional<std::string> converted = ConvertEntry(row.conversion, text, factor);
  if (!converted) {
    // Nothing is written and the entry stays open; a stopped sweep stays
    // stopped until an entry or an action restarts it (or Escape abandons
    // the entry).
    if (row.stop_and_restart) sweep_held_ = true;
    app_.Host().ShowMessage(NotAFloatMessage(text), MessageKind::Error);
    return false;
  }
  const FieldValidator validator = *row.validator;
  const Setting field = InfoOf(validator).field;
  app_.Dialog().RunValidator(validator, app_.Settings().Text(field), *converted);
  if (row.stop_and_restart) app_.Sweep().Restart();
  RememberScaling(row.remember);
  return true;
}

void NumericEntry::RememberScaling(Remember what) {
  if (what == Remember::Nothing) return;
  const InstrumentSettings& settings = app_.Settings();
  const Setting field = what == Remember::RefLevel ? Setting::RefLevel : Setting::Scale;
  double value = 0;
  if (!TryStrToFloat(settings.Text(field), value)) return;
  FormatScaling& scaling = app_.Display().Scaling();
  if (what == Remember::RefLevel) {
    scaling.SetRefLevel(settings.Format(), value);
  } else {
    scaling.SetScale(settings.Format(), value);
  }
}

}  // namespace ostra
