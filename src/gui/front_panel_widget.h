// The front panel's widgets inside the panel column (Panel3_btns): the
// twelve hard keys and the seven soft keys in their frames, the keypad and
// its entry box, and the group frames around them. The area of the marker
// panel (left 4, top 480, 342 x 113) is left to it. Key events go to the
// handlers; the models' state is shown with ShowPanel and ShowKeypad.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/numeric_entry.h"
#include "gui/key_panel.h"
#include "panel/front_panel.h"
#include "panel/keypad.h"

namespace ostra {

struct FrontPanelHandlers {
  std::function<void(HardKey)> HardKeyClick;
  // Soft key 1..7.
  std::function<void(int)> SoftKeyClick;
  std::function<void(KeypadKey)> KeypadClick;
  // The user typed into the entry box; Return pressed in it.
  std::function<void(const std::string&)> EntryTextEdited;
  std::function<void()> EntryReturn;
  // A key the entry box takes as its own (Escape, Backspace, M, K, H).
  std::function<void(EntryKeyboardKey)> EntryKey;
};

inline constexpr int kSoftKeyCount = 7;

class FrontPanelWidget {
 public:
  FrontPanelWidget(QWidget* panel, FrontPanelHandlers handlers);
  ~FrontPanelWidget();
  FrontPanelWidget(const FrontPanelWidget&) = delete;
  FrontPanelWidget& operator=(const FrontPanelWidget&) = delete;

  FramedKey& SoftKey(int number) { return *soft_keys_.at(static_cast<size_t>(number - 1)); }
  FramedKey& HardKeyFrame(HardKey key) { return *hard_keys_.at(static_cast<size_t>(key)); }
  KeypadButton* PadKey(KeypadKey key) const { return pad_keys_.at(static_cast<size_t>(key)); }
  QLineEdit* EntryBox() const { return entry_box_; }

  // Soft key 1..7: caption, shown, lit.
  void SetSoftKey(int number, const QString& caption, bool visible, bool lit);
  // Captions, visibility and lights of every key.
  void ShowPanel(const FrontPanel& panel);
  // The keypad on or off, the entry box's text and colour, and the focus
  // when the model asks for it.
  void ShowKeypad(const Keypad& keypad);

 private:
  void BuildGroups();
  void BuildHardKeys();
  void BuildSoftKeys();
  void BuildKeypad();
  void BuildEntryBox();
  void Call(const std::function<void()>& handler);

  QWidget* panel_;
  FrontPanelHandlers handlers_;
  std::array<std::unique_ptr<FramedKey>, kHardKeyCount> hard_keys_;
  std::array<std::unique_ptr<FramedKey>, kSoftKeyCount> soft_keys_;
  std::array<KeypadButton*, kKeypadKeyCount> pad_keys_{};
  QLineEdit* entry_box_ = nullptr;
  uint64_t focus_requests_shown_ = 0;
  bool selection_shown_ = false;
};

}  // namespace ostra
