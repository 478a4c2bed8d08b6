#include "gui/main_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QVariantAnimation>

#include "gui/handler_call.h"
#include "gui/key_tips.h"

namespace ostra {

namespace {

constexpr int kPanelWidth = 350;
constexpr int kSlideMs = 200;

// Holds the front panel at its full width and clips it: as the holder
// narrows, the panel's left edge moves right and it slides out of view.
class PanelHolder : public QWidget {
 public:
  explicit PanelHolder(QWidget* parent) : QWidget(parent) {}
  void SetPanel(QWidget* panel) { panel_ = panel; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (panel_ != nullptr) panel_->setGeometry(0, 0, kPanelWidth, height());
  }

 private:
  QWidget* panel_ = nullptr;
};

}  // namespace

TMainForm::TMainForm(MainFormHandlers handlers, QWidget* parent)
    : QMainWindow(parent), handlers_(std::move(handlers)) {
  setObjectName("MainForm");
  setWindowTitle("USB Vector Network Analyser");
  resize(1000, 680);
  setMinimumSize(kMainFormMinimumSize);
  move(100, 100);

  auto* central = new QWidget(this);
  central->setObjectName("MainArea");
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);

  chart_ = new QWidget(central);
  chart_->setObjectName("Chart1");
  SetPanelColour(chart_, Qt::white);
  chart_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  row->addWidget(chart_, 1);

  auto* holder = new PanelHolder(central);
  holder->setObjectName("Panel3_holder");
  holder->setFixedWidth(kPanelWidth);
  panel_ = new QWidget(holder);
  panel_->setObjectName("Panel3_btns");
  SetPanelColour(panel_, kFrontPanelColour);
  holder->SetPanel(panel_);
  row->addWidget(holder, 0);
  setCentralWidget(central);

  BuildMenus();
  BuildFrontPanel();
  BuildShortcuts();

  QStatusBar* status = statusBar();
  status->setObjectName("StatusBar1");
  progress_ = new QProgressBar(status);
  progress_->setObjectName("ProgressBar1");
  progress_->setRange(0, 100);
  progress_->setMaximumWidth(200);
  status->addPermanentWidget(progress_);
  progress_->hide();
  sweep_state_ = new QLabel(status);
  sweep_state_->setObjectName("sweep_state_lbl");
  sweep_state_->setMinimumWidth(70);
  sweep_state_->setAlignment(Qt::AlignCenter);
  sweep_state_->setToolTip(SweepIndicatorTip());
  status->addPermanentWidget(sweep_state_);
  SetSweepState(false);
}

void TMainForm::SetSweepState(bool sweeping) {
  sweep_state_->setText(sweeping ? "Sweeping" : "Stopped");
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  struct MenuName {
    MenuId id;
    const char* name;
    const char* caption;
  };
  // Each menu opens with Alt and its first letter.
  static constexpr MenuName kMenus[] = {{MenuId::File, "File1", "&File"},
                                        {MenuId::Edit, "Edit1", "&Edit"},
                                        {MenuId::View, "View1", "&View"},
                                        {MenuId::Help, "Help1", "&Help"}};
  for (const MenuName& m : kMenus) {
    QMenu* menu = bar->addMenu(m.caption);
    menu->setObjectName(m.name);
    for (const MenuCommand& command : MenuCommands()) {
      if (command.menu != m.id) continue;
      QAction* action = menu->addAction(command.caption);
      action->setObjectName(command.name);
      connect(action, &QAction::triggered, this, [this, &command] {
        if (handlers_.MenuClick) CallHandler([&] { handlers_.MenuClick(command); });
      });
    }
  }
}

QAction* TMainForm::MenuAction(const QString& name) const {
  return menuBar()->findChild<QAction*>(name);
}

void TMainForm::SetControlPanelCaption(bool shown) {
  if (QAction* action = MenuAction("HideControlPanel1")) {
    action->setText(shown ? "Hide Control Panel" : "Show Control Panel");
  }
}

void TMainForm::BuildShortcuts() {
  if (QAction* exit = MenuAction("Exit1")) exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  auto* help = new QAction(this);
  help->setObjectName("FrontPanelHelp");
  help->setShortcut(QKeySequence(Qt::Key_F1));
  help->setShortcutContext(Qt::WindowShortcut);
  addAction(help);
  connect(help, &QAction::triggered, this, [this] { help_.ShowHelp(); });
}

void TMainForm::BuildFrontPanel() {
  FrontPanelHandlers h;
  h.SoftKeyClick = [this](int number) {
    if (handlers_.SoftKeyClick) handlers_.SoftKeyClick(number);
  };
  h.HardKeyClick = [this](HardKey key) {
    if (handlers_.HardKeyClick) handlers_.HardKeyClick(key);
  };
  h.KeypadClick = [this](KeypadKey key) {
    if (handlers_.KeypadClick) handlers_.KeypadClick(key);
  };
  h.EntryTextEdited = [this](const std::string& text) {
    if (handlers_.EntryTextEdited) handlers_.EntryTextEdited(text);
  };
  h.EntryReturn = [this] {
    if (handlers_.EntryReturn) handlers_.EntryReturn();
  };
  h.EntryKey = [this](EntryKeyboardKey key) {
    if (handlers_.EntryKey) handlers_.EntryKey(key);
  };
  front_panel_ = std::make_unique<FrontPanelWidget>(panel_, std::move(h));
}

void TMainForm::SetChartWidget(QWidget* chart) {
  if (chart == nullptr || chart == chart_) return;
  auto* row = static_cast<QHBoxLayout*>(centralWidget()->layout());
  chart->setParent(centralWidget());
  chart->setObjectName("Chart1");
  chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  row->replaceWidget(chart_, chart);
  delete chart_;
  chart_ = chart;
  chart_->show();
}

void TMainForm::SetSoftKey(int number, const QString& caption, bool visible, bool lit) {
  front_panel_->SetSoftKey(number, caption, visible, lit);
}

void TMainForm::SlideControlPanel(bool shown) {
  QWidget* holder = panel_->parentWidget();
  if (slide_ != nullptr) slide_->stop();
  panel_shown_ = shown;
  const int from = holder->isVisible() ? holder->width() : 0;
  const int to = panel_shown_ ? kPanelWidth : 0;
  holder->setFixedWidth(from);
  holder->setVisible(true);
  auto* slide = new QVariantAnimation(this);
  slide->setDuration(kSlideMs);
  slide->setStartValue(from);
  slide->setEndValue(to);
  connect(slide, &QVariantAnimation::valueChanged, holder,
          [holder](const QVariant& width) { holder->setFixedWidth(width.toInt()); });
  connect(slide, &QVariantAnimation::finished, holder, [holder, shown, to] {
    holder->setFixedWidth(to);
    holder->setVisible(shown);
  });
  slide_ = slide;
  slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  CallHandler(handlers_.FormClose);
  // The program ends as FormClose decided; if it did not (the settings could
  // not be saved, for one), the window stays so the user is not left with an
  // invisible program.
  if (!handlers_.EndingProgram || handlers_.EndingProgram()) {
    event->accept();
  } else {
    event->ignore();
  }
}

bool TMainForm::event(QEvent* event) {
  // Menu entries carry no status tips; hovering them must not wipe the
  // status bar's text.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

}  // namespace ostra
