// The markers' and overlays' handlers: a marker placed from the keypad, the
// constant-VSWR circle drawn from the keypad, the memory trace, and clearing
// the markers.
#pragma once

#include <cstdint>
#include <string_view>

namespace ostra {

class Analyser;

class MarkerActions {
 public:
  explicit MarkerActions(Analyser& app) : app_(app) {}

  // The keypad's marker entry: the selected marker at the entry text times
  // `factor`, made whole; "Invalid number" and false when the text is not a
  // number (the entry then stays open).
  bool SetMarkerFromEntry(std::string_view text, int64_t factor);
  // The keypad's constant-VSWR entry; "Invalid number" when the text is not
  // a number.
  void DrawConstVswrCircle(std::string_view text);
  // Every marker off at 0, its table row emptied, every arrow hidden.
  void ClearMarkers();

  void display_data_to_memExecute();
  void display_clear_memExecute();

 private:
  Analyser& app_;
};

}  // namespace ostra
