// The markers' and overlays' handlers: a marker placed from the keypad and
// stepped with its arrows, the marker panel shown and hidden, the marker
// table rebuilt after every sweep and reset at every layout refresh, the
// constant-VSWR circle drawn from the keypad, and the memory trace.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/signal.h"
#include "display/marker_search.h"

namespace ostra {

class Analyser;
class MarkerReadout;
class MarkerTable;

class MarkerActions {
 public:
  explicit MarkerActions(Analyser& app);
  ~MarkerActions();
  MarkerActions(const MarkerActions&) = delete;
  MarkerActions& operator=(const MarkerActions&) = delete;

  // The keypad's marker entry: the selected marker at the entry text times
  // `factor`, made whole; "Invalid number" and false when the text is not a
  // number (the entry then stays open).
  bool SetMarkerFromEntry(std::string_view text, int64_t factor);
  // The keypad's constant-VSWR entry; "Invalid number" when the text is not
  // a number.
  void DrawConstVswrCircle(std::string_view text);
  // Every marker off at 0, its table row emptied, every arrow hidden.
  void ClearMarkers();
  // Moves marker `index` (0..3) onto the point of the last complete sweep
  // with the largest or smallest value in the current format (in the Smith
  // chart, of |G|) and switches it on. Nothing happens before a sweep.
  void MarkerToExtreme(int index, TraceExtreme which);

  // "Show" and "Hide": the marker panel slides in or out, upwards.
  void marker_showExecute();
  void marker_hideExecute();
  // A click on an arrow of marker 1 .. 4: the right arrow steps it up, the
  // left arrow down; the marker moves at the end of the next sweep.
  void ArrowClick(int marker_number, bool right);

  // After the last point of each sweep: the table's rows and the diamonds.
  void UpdateMarkers();
  // At the end of every layout refresh: headers written, rows emptied.
  void ResetMarkerTable();
  // The start-up pass: every label of the marker panel hidden (its first
  // step), every marker off at 0 (with the other start values).
  void HideMarkerPanelLabels();
  void ResetMarkersForStartup();

  void display_data_to_memExecute();
  void display_clear_memExecute();

  // The marker table the panel shows.
  MarkerTable& Table();

 private:
  Analyser& app_;
  std::unique_ptr<MarkerReadout> readout_;
  ScopedConnection layout_connection_;
  ScopedConnection sweep_connection_;
};

}  // namespace ostra
