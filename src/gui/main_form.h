// TMainForm: the main window. The chart on the left, the front panel on the
// right, the menu bar and the status bar. Its events go to the handlers that
// the program wires in; it draws nothing of its own.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

#include "gui/key_panel.h"

class QAction;
class QProgressBar;
class QVariantAnimation;

namespace ostra {

struct MainFormHandlers {
  std::function<void()> Exit1Click;
  std::function<void()> sweep_param1Click;
  std::function<void()> Log1Click;
  std::function<void()> About1Click;
  std::function<void()> FormClose;
  // Whether the program is ending (FormClose decided so): the window then
  // closes; otherwise it stays open.
  std::function<bool()> EndingProgram;
  // Trace menu (until the hard keys arrive).
  std::function<void()> LogMagExecute;
  std::function<void()> LinMagExecute;
  std::function<void()> PhaseExecute;
  std::function<void()> VSWRExecute;
  std::function<void()> SmithExecute;
  std::function<void()> show_phaseExecute;
  std::function<void()> TransmissionExecute;
  std::function<void()> ReflectionExecute;
  // A click on soft key 1..7.
  std::function<void(int)> SoftKeyClick;
};

inline constexpr int kSoftKeyCount = 7;

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
  FramedKey& SoftKey(int number) { return *soft_keys_.at(static_cast<size_t>(number - 1)); }

  // View > Hide/Show Control Panel.
  void HideControlPanel1Click();
  bool ControlPanelShown() const { return panel_shown_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildFrontPanel();
  QAction* AddAction(QMenu* menu, const QString& name, const QString& caption,
                     std::function<void()> MainFormHandlers::*handler);

  MainFormHandlers handlers_;
  QWidget* chart_ = nullptr;
  QWidget* panel_ = nullptr;
  QAction* hide_panel_action_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::array<std::unique_ptr<FramedKey>, kSoftKeyCount> soft_keys_;
  QPointer<QVariantAnimation> slide_;
  bool panel_shown_ = true;
};

}  // namespace ostra
