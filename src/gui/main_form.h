// TMainForm: the main window. The chart on the left, the front panel on the
// right, the menu bar and the status bar. Its events go to the handlers that
// the program wires in; it draws nothing of its own.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "app/menu_commands.h"
#include "gui/front_panel_widget.h"
#include "gui/help_window.h"
#include "gui/key_panel.h"

class QAction;
class QLabel;
class QProgressBar;
class QVariantAnimation;

namespace ostra {

struct MainFormHandlers {
  // A menu entry chosen: the entry of the program's menu table.
  std::function<void(const MenuCommand&)> MenuClick;
  std::function<void()> FormClose;
  // Whether the program is ending (FormClose decided so): the window then
  // closes; otherwise it stays open.
  std::function<bool()> EndingProgram;
  // A click on soft key 1..7.
  std::function<void(int)> SoftKeyClick;
  // The hard keys, the keypad and the entry box.
  std::function<void(HardKey)> HardKeyClick;
  std::function<void(KeypadKey)> KeypadClick;
  std::function<void(const std::string&)> EntryTextEdited;
  std::function<void()> EntryReturn;
  std::function<void(EntryKeyboardKey)> EntryKey;
};

// The smallest main window: the front panel fits, and no label of the chart
// overlaps another or runs off it.
inline constexpr QSize kMainFormMinimumSize(920, 660);

class TMainForm : public QMainWindow {
 public:
  explicit TMainForm(MainFormHandlers handlers, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Puts `chart` in the chart area in place of the placeholder ("Chart1").
  void SetChartWidget(QWidget* chart);
  QWidget* ChartArea() const { return chart_; }
  QWidget* FrontPanel() const { return panel_; }

  // Soft key 1..7: caption, shown, lit.
  void SetSoftKey(int number, const QString& caption, bool visible, bool lit = false);
  FramedKey& SoftKey(int number) { return front_panel_->SoftKey(number); }
  FrontPanelWidget& Keys() { return *front_panel_; }

  // The status bar's sweep indicator: "Sweeping" or "Stopped".
  void SetSweepState(bool sweeping);

  // Shows or hides the front panel, sliding it over 200 ms (out to the
  // right, in to the left); the chart takes the freed width.
  void SlideControlPanel(bool shown);
  bool ControlPanelShown() const { return panel_shown_; }
  // The View menu's entry reads "Hide Control Panel" or "Show Control Panel".
  void SetControlPanelCaption(bool shown);
  // A menu entry by its control name.
  QAction* MenuAction(const QString& name) const;
  // The front panel's help (F1).
  HelpWindow& Help() { return help_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildFrontPanel();
  void BuildShortcuts();

  MainFormHandlers handlers_;
  QWidget* chart_ = nullptr;
  QWidget* panel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* sweep_state_ = nullptr;
  std::unique_ptr<FrontPanelWidget> front_panel_;
  QPointer<QVariantAnimation> slide_;
  bool panel_shown_ = true;
  HelpWindow help_;
};

}  // namespace ostra
