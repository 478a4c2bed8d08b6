#include "display/marker_table.h"

namespace ostra {

namespace {

constexpr std::array<std::string_view, kMarkerTableColumns> kHeaders = {
    "", kFrequencyHeader, "Mag", "Phase", "Impedance", "VSWR"};

const std::string kNoText;

}  // namespace

const std::string& MarkerTable::Cell(int column, int row) const {
  if (column < 0 || column >= kMarkerTableColumns || row < 0 || row >= kMarkerTableRows) {
    return kNoText;
  }
  return cells_[static_cast<size_t>(column)][static_cast<size_t>(row)];
}

void MarkerTable::SetCell(int column, int row, std::string_view text) {
  if (column < 0 || column >= kMarkerTableColumns || row < 0 || row >= kMarkerTableRows) return;
  std::string& cell = cells_[static_cast<size_t>(column)][static_cast<size_t>(row)];
  if (cell == text) return;
  cell.assign(text);  // within its capacity: a warm sweep allocates nothing
  pending_ = true;
  if (batch_depth_ == 0) Announce();
}

void MarkerTable::ClearMarkerRows() {
  Batch batch(*this);
  for (int column = 0; column < kMarkerTableColumns; ++column) {
    for (int row = 1; row < kMarkerTableRows; ++row) SetCell(column, row, {});
  }
}

void MarkerTable::Reset() {
  Batch batch(*this);
  for (int column = 0; column < kMarkerTableColumns; ++column) {
    SetCell(column, 0, kHeaders[static_cast<size_t>(column)]);
  }
  ClearMarkerRows();
}

void MarkerTable::Announce() {
  pending_ = false;
  ++revision_;
  on_change.Emit();
}

}  // namespace ostra
