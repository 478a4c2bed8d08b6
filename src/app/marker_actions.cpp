#include "app/marker_actions.h"

#include "app/analyser.h"
#include "base/text_util.h"
#include "display/markers.h"
#include "display/overlays.h"

namespace ostra {

bool MarkerActions::SetMarkerFromEntry(std::string_view text, int64_t factor) {
  int64_t value = 0;
  if (!TryWholeNumber(text, factor, value)) {
    app_.Host().ShowMessage("Invalid number");
    return false;
  }
  app_.MarkerModel().PlaceSelected(value);
  return true;
}

void MarkerActions::DrawConstVswrCircle(std::string_view text) {
  if (!ostra::DrawConstVswrCircle(app_.Chart(), text)) app_.Host().ShowMessage("Invalid number");
}

void MarkerActions::ClearMarkers() { app_.MarkerModel().Clear(); }

void MarkerActions::display_data_to_memExecute() { CopyTraceToMemory(app_.Chart()); }

void MarkerActions::display_clear_memExecute() { ClearMemory(app_.Chart()); }

}  // namespace ostra
