// The keypad's handlers: the digit, ".", "-" keys build the entry text; a
// unit key or Enter converts it and applies it to the quantity that the
// entry action chose (EntryFunction) through the dialog's field validator,
// stopping and restarting the sweep where the value changes the stimulus,
// and closes the entry. The user may also type into the entry box with the
// keyboard, where Return acts as Enter, M, K and H act as the unit keys,
// Backspace removes the last character and Escape abandons the entry.
#pragma once

#include <string>
#include <string_view>

#include "panel/entry_dispatch.h"
#include "panel/keypad.h"

namespace ostra {

class Analyser;

// The keys of the keyboard that the entry box takes as keys of its own.
enum class EntryKeyboardKey { Escape, Backspace, MHz, kHz, Hz };

class NumericEntry {
 public:
  explicit NumericEntry(Analyser& app) : app_(app) {}

  // --- Keys -------------------------------------------------------------------
  void ptn_0Click();
  void ptn_1Click();
  void ptn_2Click();
  void ptn_3Click();
  void ptn_4Click();
  void ptn_5Click();
  void ptn_6Click();
  void ptn_7Click();
  void ptn_8Click();
  void ptn_9Click();
  void ptn_dotClick();
  void ptn_minusClick();
  void MHz_ptnClick();
  void kHz_ptnClick();
  void Hz_ptnClick();
  void enter_ptnClick();
  // The shell's one entry for every keypad key.
  void KeypadClick(KeypadKey key);

  // --- The entry box ------------------------------------------------------------
  // The user typed into the box with the keyboard.
  void enterboxChange(const std::string& text);
  // Return in the box: the keypad's Enter.
  void enterboxReturn() { enter_ptnClick(); }
  // A key of the keyboard in the box: Escape abandons the entry and restarts
  // a sweep that a refused entry left stopped (nothing was written);
  // Backspace removes the last character (the whole text when it is
  // selected); M, K and H are the unit keys.
  void enterboxKey(EntryKeyboardKey key);

  // --- Used by the front panel's actions and keys -----------------------------------
  // Enables or disables the keys and the entry box together.
  void SetKeypadEnabled(bool on);
  // An entry action: keypad on, box aqua and focused (its text stays), and
  // EntryFunction := `entry`.
  void SelectEntry(std::string_view entry);
  // A hard key abandons the entry: keypad off, box silver and emptied.
  void AbandonEntry();
  // The start-up pass: the entry closed.
  void ResetForStartup() { AbandonEntry(); }

  // Applies the entry text with `unit` ("MHz", "kHz" or "Hz").
  void ApplyEntry(std::string_view unit);

  const std::string& EntryFunction() const;
  const std::string& Text() const;

 private:
  void Append(std::string_view piece);
  void UnitKey(std::string_view unit);
  // Converts and hands the value on; false when the entry stays open.
  bool ApplyRow(const EntryRow& row, const std::string& text, int64_t factor);
  bool ApplyToField(const EntryRow& row, const std::string& text, int64_t factor);
  void RememberScaling(Remember what);
  void CloseEntry();
  void EscapeEntry();
  void RemoveLastCharacter();

  Analyser& app_;
  // A refused entry stopped the sweep and nothing has restarted it since.
  bool sweep_held_ = false;
};

}  // namespace ostra
