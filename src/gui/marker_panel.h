// The marker panel at the bottom of the front panel: the marker table
// (MarkerGrid) and, left of its rows 1 to 4, each marker's pair of step
// arrows. Sky blue, hidden at start; shown at once by the Markers key and
// slid in and out upwards over 200 ms by "Show" and "Hide".
#pragma once

#include <QLabel>
#include <QPointer>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <functional>

#include "display/marker_search.h"
#include "display/marker_table.h"
#include "display/markers.h"

class QMenu;
class QVariantAnimation;

namespace ostra {

inline const QColor kMarkerPanelColour(0xA6, 0xCA, 0xF0);  // sky blue

// A step arrow ("<" or ">"): 14 pt black; red while the mouse is over it,
// 18 pt red while the button is held on it. A release over it is a click.
class MarkerArrow : public QLabel {
 public:
  MarkerArrow(const QString& name, const QString& text, QWidget* parent);
  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetLook(int point_size, const QColor& colour);
  bool pressed_ = false;
};

class MarkerPanel : public QWidget {
 public:
  static constexpr int kLeft = 4;
  static constexpr int kTop = 480;
  static constexpr int kWidth = 342;
  static constexpr int kHeight = 113;
  static constexpr int kRowHeight = 18;
  static constexpr std::array<int, kMarkerTableColumns> kColumnWidths = {34, 68, 32, 40, 58, 44};

  // Made inside `front_panel` (the widget "Panel3_btns"), hidden.
  explicit MarkerPanel(QWidget* front_panel);

  QTableWidget* Grid() const { return grid_; }
  // Marker 1 .. 4's right or left arrow.
  MarkerArrow* Arrow(int marker_number, bool right) const;

  // A click on an arrow: the marker (1 .. 4) and whether it is the right one.
  std::function<void(int marker_number, bool right)> on_arrow_click;
  // "Marker to maximum" or "Marker to minimum" chosen in the table's context
  // menu: the marker (0 .. 3) and the search.
  std::function<void(int index, TraceExtreme which)> on_marker_search;

  // The marker (0 .. 3) whose row is selected in the table; marker 1 when
  // no marker's row is.
  int SelectedMarker() const;
  // The table's context menu for marker `index` (0 .. 3).
  QMenu* MakeSearchMenu(int index);

  // The table shows `table`: cells that changed are written, in one go per
  // turn of the event loop however often the table changes.
  void TableChanged(const MarkerTable& table);
  // Writes the cells that differ from `table` now.
  void ShowTable(const MarkerTable& table);
  // Each marker's arrows shown or hidden as the markers say.
  void ShowArrows(const MarkerState& markers);

  // Shows or hides the panel, at once or sliding upwards over 200 ms. A
  // slide towards the state the panel is already in does nothing.
  void ShowPanel(bool visible, bool slide);
  // Shown, or sliding into view.
  bool Shown() const { return shown_; }

 private:
  static QWidget* MakeHolder(QWidget* front_panel);
  void BuildGrid();
  void BuildArrows();
  void OpenSearchMenu(const QPoint& at);
  void Slide(bool visible);

  QWidget* holder_;  // clips the panel as it slides
  QTableWidget* grid_ = nullptr;
  std::array<MarkerArrow*, 2 * kMarkerCount> arrows_{};
  QPointer<QVariantAnimation> slide_;
  const MarkerTable* pending_table_ = nullptr;
  bool shown_ = false;
};

}  // namespace ostra
