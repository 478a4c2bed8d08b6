// The keys of the front panel: a raised panel with a caption (the key) sitting
// in a slightly larger coloured panel (its frame, the "light").
#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <functional>

namespace ostra {

inline const QColor kFrontPanelColour(213, 209, 202);
inline const QColor kKeyFaceGreen(196, 204, 191);
inline const QColor kKeySilver(192, 192, 192);
inline const QColor kKeyLit(255, 0, 199);
inline const QColor kKeyPressed(255, 0, 0);
inline const QColor kEntryAqua(0, 255, 255);

// Fills a widget's background with one colour.
void SetPanelColour(QWidget* widget, const QColor& colour);

// A key: raised while idle, lowered while the mouse button is held on it.
// A release inside the key is a click.
class KeyPanel : public QFrame {
 public:
  KeyPanel(const QString& name, const QString& caption, const QColor& face, QWidget* parent);

  void SetCaption(const QString& caption);
  QString Caption() const { return label_->text(); }
  // The inner bevel raised (a key whose command runs: Cal, Save Data), or
  // back to none.
  void SetInnerBevelRaised(bool raised);

  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The caption at 8 pt, or smaller where the key's face is too narrow for
  // it in the font the system gives (a long caption such as "Calibration").
  void FitCaption();

  QLabel* label_;
};

// A keypad key: a silver raised panel with a bold caption; while the mouse
// button is held on it the panel is lowered and its face red. A disabled
// key takes no mouse events and keeps its look.
class KeypadButton : public QFrame {
 public:
  KeypadButton(const QString& name, const QString& caption, int pixel_size, QRect geometry,
               QWidget* parent);
  QString Caption() const { return label_->text(); }
  bool Pressed() const { return pressed_; }

  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ShowPressed(bool pressed);
  QLabel* label_;
  bool pressed_ = false;
};

// A caption line that acts as the key it sits on: a click on it is a click
// on the key; the key's look does not change.
class KeyCaptionLabel : public QLabel {
 public:
  KeyCaptionLabel(const QString& name, const QString& text, QWidget* parent);
  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A key in its frame. The frame carries the name of the key + "_light";
// showing or hiding the key shows or hides both.
class FramedKey {
 public:
  FramedKey(const QString& key_name, const QString& frame_name, const QString& caption,
            const QColor& face, QRect frame_geometry, QWidget* parent);

  KeyPanel* Key() const { return key_; }
  QFrame* Frame() const { return frame_; }
  void SetVisible(bool visible) { frame_->setVisible(visible); }
  void SetLit(bool lit);

 private:
  QFrame* frame_;
  KeyPanel* key_;
};

}  // namespace ostra
