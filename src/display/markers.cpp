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

void MarkerState::PlaceSelected(int64_t value) {
  Marker& m = markers_[static_cast<size_t>(selected_)];
  m.value = value;
  m.enabled = true;
  m.arrows_visible = true;
  Changed();
}

void MarkerState::SetValue(int index, int64_t value) {
  markers_.at(static_cast<size_t>(index)).value = value;
  Changed();
}

void MarkerState::Clear() {
  markers_.fill(Marker{});
  Changed();
}

}  // namespace ostra
