// The keypad and its entry box as data: whether the keypad takes input, the
// text being typed, the entry box's colour, and the quantity the entry is
// for (EntryFunction). The keys' names and captions are one table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/signal.h"

namespace ostra {

// The keypad's keys, by the names of their controls.
enum class KeypadKey : int {
  ptn_1,
  ptn_2,
  ptn_3,
  MHz_ptn,
  ptn_4,
  ptn_5,
  ptn_6,
  kHz_ptn,
  ptn_7,
  ptn_8,
  ptn_9,
  Hz_ptn,
  ptn_0,
  ptn_dot,
  ptn_minus,
  enter_ptn,
};
inline constexpr int kKeypadKeyCount = 16;

struct KeypadKeyInfo {
  KeypadKey key;
  const char* name;     // "ptn_dot"
  const char* caption;  // "."
};
const std::array<KeypadKeyInfo, kKeypadKeyCount>& KeypadKeys();

enum class EntryColour { Silver, Aqua };

class Keypad {
 public:
  // Digit, ".", "-", unit keys, Enter and the entry box together.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);

  // The entry box's text.
  const std::string& Text() const { return text_; }
  void SetText(std::string text);

  EntryColour Colour() const { return colour_; }
  void SetColour(EntryColour colour);

  // The quantity being entered; empty at program start and never cleared
  // afterwards.
  const std::string& EntryFunction() const { return entry_function_; }
  void SetEntryFunction(std::string entry);

  // The whole text selected (after a refused entry): the next key typed or
  // clicked replaces it instead of adding to it. Any change of the text ends
  // the selection.
  bool Selected() const { return selected_; }
  void SetSelected(bool on);

  // Asks for the keyboard focus in the entry box; the shell gives it when
  // the count moves.
  void RequestFocus();
  uint64_t FocusRequests() const { return focus_requests_; }

  Signal<> on_change;
  uint64_t Revision() const { return revision_; }

 private:
  void Changed();

  bool enabled_ = false;
  std::string text_;
  EntryColour colour_ = EntryColour::Silver;
  std::string entry_function_;
  bool selected_ = false;
  uint64_t focus_requests_ = 0;
  uint64_t revision_ = 0;
};

}  // namespace ostra
