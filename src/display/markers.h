// The four markers: each switched on or off, with a position in stimulus
// units (hertz in a frequency sweep, degrees in a phase sweep, dBm in a
// power sweep), and whether its two step arrows are shown; and the marker
// that a keypad entry places.
#pragma once

#include <array>
#include <cstdint>

#include "base/signal.h"

namespace ostra {

inline constexpr int kMarkerCount = 4;

struct Marker {
  bool enabled = false;
  // A whole number of hertz or degrees, or dBm. Typed values are whole;
  // stepping in a power sweep lands on the exact power of a point, which
  // need not be a whole dBm.
  double value = 0;
  bool arrows_visible = false;
};

class MarkerState {
 public:
  const Marker& At(int index) const { return markers_.at(static_cast<size_t>(index)); }
  const std::array<Marker, kMarkerCount>& All() const { return markers_; }

  // The marker a keypad entry places (0 for marker 1).
  int Selected() const { return selected_; }
  void Select(int index);
  // The selected marker at `value`: switched on, its arrows shown.
  void PlaceSelected(double value);
  // Marker `index` at `value`: switched on, its arrows shown.
  void Place(int index, double value);
  // A new position for marker `index`; on and off stay as they are.
  void SetValue(int index, double value);
  // Marker `index` switched on (with its arrows) or off, where it stands.
  void SetEnabled(int index, bool on);
  // Every marker off at 0, every arrow hidden.
  void Clear();
  // Every arrow hidden; the markers stay as they are.
  void HideArrows();

  Signal<> on_change;
  uint64_t Revision() const { return revision_; }

 private:
  void Changed();
  std::array<Marker, kMarkerCount> markers_{};
  int selected_ = 0;
  uint64_t revision_ = 0;
};

}  // namespace ostra
