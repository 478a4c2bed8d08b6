#include "app/marker_actions.h"

#include <cmath>
#include <vector>

#include "app/analyser.h"
#include "base/errors.h"
#include "base/text_util.h"
#include "display/marker_readout.h"
#include "display/markers.h"
#include "display/overlays.h"
#include "display/trace_display.h"
#include "files/sweep_record.h"
#include "sweep/sweep_engine.h"

namespace ostra {

MarkerActions::MarkerActions(Analyser& app)
    : app_(app),
      readout_(std::make_unique<MarkerReadout>(app.Settings(), app.Display(), app.Chart(),
                                               app.MarkerModel())),
      layout_connection_(app.Display().on_reset_marker_table, [this] { ResetMarkerTable(); }),
      sweep_connection_(app.Engine().on_sweep_done, [this] { UpdateMarkers(); }) {}

MarkerActions::~MarkerActions() = default;

MarkerTable& MarkerActions::Table() { return readout_->Table(); }

bool MarkerActions::SetMarkerFromEntry(std::string_view text, int64_t factor) {
  int64_t value = 0;
  if (!TryWholeNumber(text, factor, value)) {
    app_.Host().ShowMessage("Invalid number");
    return false;
  }
  app_.MarkerModel().PlaceSelected(static_cast<double>(value));
  return true;
}

void MarkerActions::DrawConstVswrCircle(std::string_view text) {
  if (!ostra::DrawConstVswrCircle(app_.Chart(), text)) app_.Host().ShowMessage("Invalid number");
}

void MarkerActions::ClearMarkers() {
  app_.MarkerModel().Clear();
  readout_->ClearMarkerRows();
}

void MarkerActions::marker_showExecute() {
  app_.Host().ShowPanel(PanelId::MarkerPanel, true, true);
}

void MarkerActions::marker_hideExecute() {
  app_.Host().ShowPanel(PanelId::MarkerPanel, false, true);
}

void MarkerActions::ArrowClick(int marker_number, bool right) {
  if (marker_number < 1 || marker_number > kMarkerCount) return;
  MarkerState& markers = app_.MarkerModel();
  const int index = marker_number - 1;
  const double value = markers.At(index).value;
  const double stepped = SteppedMarkerValue(app_.Settings(), value, right);
  if (stepped != value) markers.SetValue(index, stepped);
}

void MarkerActions::MarkerToExtreme(int index, TraceExtreme which) {
  if (index < 0 || index >= kMarkerCount) return;
  const std::vector<double> values = FormattedTrace(app_.Settings(), app_.Display());
  if (const auto point = ExtremePointIndex(values, which)) {
    PlaceAtPoint(index, static_cast<int>(*point));
  }
}

void MarkerActions::ChartClick(int index, double x, double y) {
  if (index < 0 || index >= kMarkerCount) return;
  PlaceAtPoint(index, NearestTracePoint(app_.Settings(), app_.Display(), x, y));
}

void MarkerActions::KeyStep(int index, bool right) {
  if (index < 0 || index >= kMarkerCount || !app_.MarkerModel().At(index).enabled) return;
  ArrowClick(index + 1, right);
}

void MarkerActions::PlaceAtPoint(int index, int point) {
  app_.MarkerModel().Place(index, MarkerValueAtPoint(app_.Settings(), point));
  UpdateMarkers();
}

void MarkerActions::UpdateMarkers() {
  try {
    readout_->UpdateMarkers();
  } catch (const ConversionError&) {
    // Runs after every sweep, inside the acquisition loop: an entry that is
    // not a number (the action that wrote it has reported it) leaves the
    // table as it was rather than raise an error box once per sweep.
  }
}

void MarkerActions::ResetMarkerTable() { readout_->ResetMarkerTable(); }

void MarkerActions::HideMarkerPanelLabels() { app_.MarkerModel().HideArrows(); }

void MarkerActions::ResetMarkersForStartup() { app_.MarkerModel().Clear(); }

void MarkerActions::display_data_to_memExecute() { CopyTraceToMemory(app_.Chart()); }

void MarkerActions::display_clear_memExecute() { ClearMemory(app_.Chart()); }

}  // namespace ostra
