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

namespace {

// A point's value as the format plots it (|G| in the Smith chart).
double FormattedValue(FormatKind format, std::complex<double> v) {
  const double mag = std::abs(v);
  switch (format) {
    case FormatKind::Log:
      return 20 * std::log10(std::max(mag, 1e-15));
    case FormatKind::Phase:
      return std::arg(v) * kDegreesPerRadian;
    case FormatKind::VSWR:
      return mag < 1 ? (1 + mag) / (1 - mag) : HUGE_VAL;
    case FormatKind::Lin:
    case FormatKind::Smith:
    case FormatKind::Other:
      break;
  }
  return mag;
}

}  // namespace

void MarkerActions::MarkerToExtreme(int index, TraceExtreme which) {
  if (index < 0 || index >= kMarkerCount) return;
  const SweepRecord* record = app_.Recorder().LastComplete();
  if (record == nullptr) return;
  const FormatKind format = ParseFormat(app_.Settings().Format());
  std::vector<double> values;
  for (const RecordedPoint& p : record->Points()) values.push_back(FormattedValue(format, p.value));
  const auto k = ExtremePointIndex(values, which);
  if (!k) return;
  // The marker's position in stimulus units: whole hertz in a frequency
  // sweep (the record holds megahertz).
  const double x = record->Points()[*k].x;
  const double value =
      record->Conditions().sweep == SweepKind::Frequency ? std::nearbyint(x * 1e6) : x;
  MarkerState& markers = app_.MarkerModel();
  markers.SetValue(index, value);
  markers.SetEnabled(index, true);
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
