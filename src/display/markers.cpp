#include "display/markers.h"

#include <algorithm>

namespace ostra {

void MarkerState::Changed() {
  ++revision_;
  on_change.Emit();
}

void MarkerState::Select(int index) {
  selected_ = std::clamp(index, 0, kMarkerCount - 1);
  Changed();
}

void MarkerState::PlaceSelected(double value) {
  Marker& m = markers_[static_cast<size_t>(selected_)];
  m.value = value;
  m.enabled = true;
  m.arrows_visible = true;
  Changed();
}

void MarkerState::Place(int index, double value) {
  Marker& m = markers_.at(static_cast<size_t>(index));
  m.value = value;
  m.enabled = true;
  m.arrows_visible = true;
  Changed();
}

void MarkerState::SetValue(int index, double value) {
  markers_.at(static_cast<size_t>(index)).value = value;
  Changed();
}

void MarkerState::SetEnabled(int index, bool on) {
  Marker& m = markers_.at(static_cast<size_t>(index));
  m.enabled = on;
  m.arrows_visible = on;
  Changed();
}

void MarkerState::Clear() {
  markers_.fill(Marker{});
  Changed();
}

void MarkerState::HideArrows() {
  for (Marker& m : markers_) m.arrows_visible = false;
  Changed();
}

}  // namespace ostra
