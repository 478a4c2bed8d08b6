#include "panel/keypad.h"

namespace ostra {

namespace {

using enum KeypadKey;

// In the order of KeypadKey: row by row, as the keys sit on the panel.
constexpr std::array<KeypadKeyInfo, kKeypadKeyCount> kKeys = {{
    {ptn_1, "ptn_1", "1"},
    {ptn_2, "ptn_2", "2"},
    {ptn_3, "ptn_3", "3"},
    {MHz_ptn, "MHz_ptn", "MHz"},
    {ptn_4, "ptn_4", "4"},
    {ptn_5, "ptn_5", "5"},
    {ptn_6, "ptn_6", "6"},
    {kHz_ptn, "kHz_ptn", "kHz"},
    {ptn_7, "ptn_7", "7"},
    {ptn_8, "ptn_8", "8"},
    {ptn_9, "ptn_9", "9"},
    {Hz_ptn, "Hz_ptn", "Hz"},
    {ptn_0, "ptn_0", "0"},
    {ptn_dot, "ptn_dot", "."},
    {ptn_minus, "ptn_minus", "-"},
    {enter_ptn, "enter_ptn", "Enter"},
}};

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < kKeys.size(); ++i) {
    if (static_cast<size_t>(kKeys[i].key) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder(), "the keypad table is indexed by KeypadKey");

}  // namespace

const std::array<KeypadKeyInfo, kKeypadKeyCount>& KeypadKeys() { return kKeys; }

void Keypad::Changed() {
  ++revision_;
  on_change.Emit();
}

void Keypad::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  Changed();
}

void Keypad::SetText(std::string text) {
  if (text_ == text && !selected_) return;
  text_ = std::move(text);
  selected_ = false;
  Changed();
}

void Keypad::SetSelected(bool on) {
  if (selected_ == on) return;
  selected_ = on;
  Changed();
}

void Keypad::SetColour(EntryColour colour) {
  if (colour_ == colour) return;
  colour_ = colour;
  Changed();
}

void Keypad::SetEntryFunction(std::string entry) {
  if (entry_function_ == entry) return;
  entry_function_ = std::move(entry);
  Changed();
}

void Keypad::RequestFocus() {
  ++focus_requests_;
  Changed();
}

}  // namespace ostra
