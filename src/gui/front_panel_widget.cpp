#include "gui/front_panel_widget.h"

#include <QFont>
#include <QKeyEvent>
#include <optional>

#include "gui/handler_call.h"
#include "gui/key_tips.h"
#include "panel/menus.h"

namespace ostra {

namespace {

// Hard keys: three columns of four, in the order of HardKey row by row.
constexpr std::array<int, 3> kHardKeyLefts = {120, 194, 268};
constexpr std::array<int, 4> kHardKeyTops = {14, 62, 111, 160};
constexpr QSize kHardKeyFrame(68, 36);
// Soft keys: one column, key 1 at the top.
constexpr int kSoftKeyLeft = 8;
constexpr std::array<int, kSoftKeyCount> kSoftKeyTops = {16, 72, 128, 184, 240, 296, 352};
constexpr QSize kSoftKeyFrame(86, 42);
// Keypad: four rows of four, in the order of KeypadKey row by row.
constexpr std::array<int, 4> kPadLefts = {128, 160, 192, 232};
constexpr std::array<int, 4> kPadTops = {264, 296, 328, 360};
constexpr QRect kEntryBox(128, 220, 153, 37);

QString FrameName(const HardKeyInfo& info) {
  // The Display key's frame is named after the other keys' pattern.
  if (info.key == HardKey::display_btn) return "display_ptn_light";
  return QString(info.name) + "_light";
}

QRect PadKeyGeometry(KeypadKey key) {
  const int i = static_cast<int>(key);
  const int column = i % 4;
  const QPoint at(kPadLefts[static_cast<size_t>(column)], kPadTops[static_cast<size_t>(i / 4)]);
  if (key == KeypadKey::enter_ptn) return QRect(at, QSize(49, 41));
  if (column == 3) return QRect(at, QSize(49, 25));
  return QRect(at, QSize(25, 25));
}

void SetEntryColour(QLineEdit* box, const QColor& colour) {
  QPalette palette = box->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, colour);
    palette.setColor(group, QPalette::Text, Qt::black);
  }
  box->setPalette(palette);
}

// The keys of the keyboard that the entry box hands to the entry instead of
// typing them: Escape, Backspace (unless part of the text is selected, which
// it removes as any box does) and the unit letters.
std::optional<EntryKeyboardKey> EntryKeyOf(const QKeyEvent& key, const QLineEdit& box) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
  switch (key.key()) {
    case Qt::Key_Escape:
      return EntryKeyboardKey::Escape;
    case Qt::Key_Backspace:
      if (box.hasSelectedText()) return {};
      return EntryKeyboardKey::Backspace;
    case Qt::Key_M:
      return EntryKeyboardKey::MHz;
    case Qt::Key_K:
      return EntryKeyboardKey::kHz;
    case Qt::Key_H:
      return EntryKeyboardKey::Hz;
    default:
      return {};
  }
}

class EntryKeyFilter : public QObject {
 public:
  EntryKeyFilter(QLineEdit* box, std::function<void(EntryKeyboardKey)> handler)
      : QObject(box), box_(box), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != box_ || event->type() != QEvent::KeyPress) return false;
    const auto key = EntryKeyOf(*static_cast<QKeyEvent*>(event), *box_);
    if (!key) return false;
    if (handler_) CallHandler([&] { handler_(*key); });
    return true;
  }

 private:
  QLineEdit* box_;
  std::function<void(EntryKeyboardKey)> handler_;
};

}  // namespace

FrontPanelWidget::FrontPanelWidget(QWidget* panel, FrontPanelHandlers handlers)
    : panel_(panel), handlers_(std::move(handlers)) {
  BuildGroups();
  BuildHardKeys();
  BuildSoftKeys();
  BuildKeypad();
  BuildEntryBox();
}

FrontPanelWidget::~FrontPanelWidget() = default;

void FrontPanelWidget::Call(const std::function<void()>& handler) { CallHandler(handler); }

void FrontPanelWidget::BuildGroups() {
  struct Group {
    const char* name;
    QRect geometry;
  };
  for (const Group& g : {Group{"hard_key_group", QRect(112, 8, 233, 197)},
                         Group{"soft_key_group", QRect(2, 8, 100, 401)},
                         Group{"keypad_group", QRect(112, 210, 185, 199)}}) {
    auto* frame = new QFrame(panel_);
    frame->setObjectName(g.name);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(g.geometry);
  }
}

void FrontPanelWidget::BuildHardKeys() {
  for (const HardKeyInfo& info : HardKeys()) {
    const int i = static_cast<int>(info.key);
    const QRect frame(
        QPoint(kHardKeyLefts[static_cast<size_t>(i % 3)], kHardKeyTops[static_cast<size_t>(i / 3)]),
        kHardKeyFrame);
    const bool save_recall = info.key == HardKey::save_recall_ptn;
    const QColor face = i % 3 == 1 ? kKeyFaceGreen : kKeySilver;
    auto key = std::make_unique<FramedKey>(info.name, FrameName(info),
                                           save_recall ? QString() : QString(info.caption), face,
                                           frame, panel_);
    const HardKey id = info.key;
    key->Key()->setToolTip(HardKeyTip(id));
    auto click = [this, id] {
      if (handlers_.HardKeyClick) Call([this, id] { handlers_.HardKeyClick(id); });
    };
    key->Key()->on_click = click;
    if (save_recall) {
      // Two caption lines, each acting as the key.
      auto* save = new KeyCaptionLabel("save_lbl", "Save /", key->Key());
      save->setGeometry(2, 2, 58, 13);
      save->on_click = click;
      auto* recall = new KeyCaptionLabel("recall_lbl", "Recall", key->Key());
      recall->setGeometry(2, 15, 58, 13);
      recall->on_click = click;
    }
    hard_keys_[static_cast<size_t>(i)] = std::move(key);
  }
}

void FrontPanelWidget::BuildSoftKeys() {
  for (int i = 0; i < kSoftKeyCount; ++i) {
    const QString name = QString("opt%1_ptn").arg(i + 1);
    const QRect frame(QPoint(kSoftKeyLeft, kSoftKeyTops[static_cast<size_t>(i)]), kSoftKeyFrame);
    auto key = std::make_unique<FramedKey>(name, name + "_light", QString("Option %1").arg(i + 1),
                                           kKeyFaceGreen, frame, panel_);
    const int number = i + 1;
    key->Key()->on_click = [this, number] {
      if (handlers_.SoftKeyClick) Call([this, number] { handlers_.SoftKeyClick(number); });
    };
    soft_keys_[static_cast<size_t>(i)] = std::move(key);
  }
}

void FrontPanelWidget::BuildKeypad() {
  for (const KeypadKeyInfo& info : KeypadKeys()) {
    const int pixels = info.key == KeypadKey::ptn_minus ? 16 : 11;
    auto* key = new KeypadButton(info.name, info.caption, pixels, PadKeyGeometry(info.key), panel_);
    const KeypadKey id = info.key;
    key->on_click = [this, id] {
      if (handlers_.KeypadClick) Call([this, id] { handlers_.KeypadClick(id); });
    };
    key->setEnabled(false);
    pad_keys_[static_cast<size_t>(info.key)] = key;
  }
}

void FrontPanelWidget::BuildEntryBox() {
  entry_box_ = new QLineEdit(panel_);
  entry_box_->setObjectName("enterbox");
  entry_box_->setGeometry(kEntryBox);
  QFont font = entry_box_->font();
  font.setPixelSize(24);
  font.setBold(true);
  entry_box_->setFont(font);
  SetEntryColour(entry_box_, kKeySilver);
  entry_box_->setEnabled(false);
  QObject::connect(entry_box_, &QLineEdit::textEdited, entry_box_, [this](const QString& text) {
    if (handlers_.EntryTextEdited) {
      Call([this, &text] { handlers_.EntryTextEdited(text.toStdString()); });
    }
  });
  QObject::connect(entry_box_, &QLineEdit::returnPressed, entry_box_,
                   [this] { Call(handlers_.EntryReturn); });
  entry_box_->installEventFilter(new EntryKeyFilter(entry_box_, handlers_.EntryKey));
}

void FrontPanelWidget::SetSoftKey(int number, const QString& caption, bool visible, bool lit) {
  if (number < 1 || number > kSoftKeyCount) return;
  FramedKey& key = SoftKey(number);
  if (key.Key()->Caption() != caption) key.Key()->SetCaption(caption);
  key.SetVisible(visible);
  key.SetLit(lit);
}

void FrontPanelWidget::ShowPanel(const FrontPanel& panel) {
  for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
    const ostra::SoftKey& key = panel.Key(i);
    SetSoftKey(i + 1, QString::fromStdString(key.caption), key.visible, key.lit);
    SoftKey(i + 1).Key()->SetInnerBevelRaised(key.raised);
  }
  for (const HardKeyInfo& info : HardKeys())
    HardKeyFrame(info.key).SetLit(panel.HardKeyLit(info.key));
}

void FrontPanelWidget::ShowKeypad(const Keypad& keypad) {
  for (KeypadButton* key : pad_keys_) key->setEnabled(keypad.Enabled());
  entry_box_->setEnabled(keypad.Enabled());
  const QString text = QString::fromStdString(keypad.Text());
  if (entry_box_->text() != text) entry_box_->setText(text);
  // A refused entry's text is shown selected, as the next key replaces it.
  if (keypad.Selected() != selection_shown_) {
    selection_shown_ = keypad.Selected();
    if (selection_shown_) entry_box_->selectAll();
  }
  SetEntryColour(entry_box_, keypad.Colour() == EntryColour::Aqua ? kEntryAqua : kKeySilver);
  if (keypad.FocusRequests() != focus_requests_shown_) {
    focus_requests_shown_ = keypad.FocusRequests();
    if (keypad.Enabled()) entry_box_->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace ostra
