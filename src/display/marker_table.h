// The marker table of the marker panel (MarkerGrid) as data: six columns and
// five rows of texts, row 0 the header and rows 1 to 4 markers 1 to 4. The
// panel's grid shows this model; it is kept apart from the chart so that
// writing the table once per sweep never repaints the chart.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/signal.h"

namespace ostra {

inline constexpr int kMarkerTableColumns = 6;
inline constexpr int kMarkerTableRows = 5;

class MarkerTable {
 public:
  MarkerTable() = default;
  MarkerTable(const MarkerTable&) = delete;
  MarkerTable& operator=(const MarkerTable&) = delete;

  // The text of a cell, column first as the grid addresses it; an empty text
  // outside the table.
  const std::string& Cell(int column, int row) const;
  // Writes a cell; a change is announced once, however many cells change,
  // when the outermost Batch ends (or at once outside a batch).
  void SetCell(int column, int row, std::string_view text);
  // Empties rows 1 to 4.
  void ClearMarkerRows();
  // The header texts (column 1 "Freq(MHz)") and rows 1 to 4 empty.
  void Reset();

  // Groups many writes into one change notification.
  class Batch {
   public:
    explicit Batch(MarkerTable& table) : table_(table) { ++table_.batch_depth_; }
    ~Batch() {
      if (--table_.batch_depth_ == 0 && table_.pending_) table_.Announce();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    MarkerTable& table_;
  };

  // Counts the announced changes; the panel compares it to skip needless
  // redraws.
  uint64_t Revision() const { return revision_; }
  Signal<> on_change;

 private:
  void Announce();

  std::array<std::array<std::string, kMarkerTableRows>, kMarkerTableColumns> cells_{};
  int batch_depth_ = 0;
  bool pending_ = false;
  uint64_t revision_ = 0;
};

// The header of column 1 in each sweep type.
inline constexpr std::string_view kFrequencyHeader = "Freq(MHz)";
inline constexpr std::string_view kPhaseHeader = "Ref Ph(deg)";
inline constexpr std::string_view kPowerHeader = "Ref Pwr(dBm)";

}  // namespace ostra
