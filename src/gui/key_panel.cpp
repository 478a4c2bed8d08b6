#include "gui/key_panel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace ostra {

void SetPanelColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

KeyPanel::KeyPanel(const QString& name, const QString& caption, const QColor& face, QWidget* parent)
    : QFrame(parent), label_(new QLabel(caption, this)) {
  setObjectName(name);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);  // as after a release: the outer bevel raised, no inner bevel
  SetPanelColour(this, face);
  QPalette text = label_->palette();
  text.setColor(QPalette::WindowText, Qt::black);
  label_->setPalette(text);
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label_);
  FitCaption();
}

void KeyPanel::SetCaption(const QString& caption) {
  label_->setText(caption);
  FitCaption();
}

void KeyPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FitCaption();
}

void KeyPanel::FitCaption() {
  constexpr double kCaptionPoints = 8;
  constexpr double kSmallestPoints = 6;
  // The face inside the thickest bevel a key takes, less a pixel each side.
  const int room = width() - 2 * 3 - 2;
  QFont font = label_->font();
  font.setPointSizeF(kCaptionPoints);
  while (font.pointSizeF() > kSmallestPoints &&
         QFontMetrics(font).horizontalAdvance(label_->text()) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  if (label_->font() != font) label_->setFont(font);
}

void KeyPanel::SetInnerBevelRaised(bool raised) {
  const int width = raised ? 3 : 1;
  if (lineWidth() == width && frameShadow() == QFrame::Raised) return;
  setLineWidth(width);
  setFrameShadow(QFrame::Raised);
}

void KeyPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    // The inner bevel goes down while the button is held...
    setLineWidth(2);
    setFrameShadow(QFrame::Sunken);
    event->accept();
    return;
  }
  QFrame::mousePressEvent(event);
}

void KeyPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QFrame::mouseReleaseEvent(event);
    return;
  }
  // ...and is gone after the release; the outer bevel stays raised.
  setLineWidth(1);
  setFrameShadow(QFrame::Raised);
  event->accept();
  if (rect().contains(event->position().toPoint()) && on_click) on_click();
}

KeypadButton::KeypadButton(const QString& name, const QString& caption, int pixel_size,
                           QRect geometry, QWidget* parent)
    : QFrame(parent), label_(new QLabel(caption, this)) {
  setObjectName(name);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setGeometry(geometry);
  SetPanelColour(this, kKeySilver);
  QFont font = label_->font();
  font.setPixelSize(pixel_size);
  font.setBold(true);
  label_->setFont(font);
  // A disabled key keeps its look: the caption stays black.
  QPalette text = label_->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    text.setColor(group, QPalette::WindowText, Qt::black);
  }
  label_->setPalette(text);
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->setGeometry(1, 1, geometry.width() - 2, geometry.height() - 2);
}

void KeypadButton::ShowPressed(bool pressed) {
  pressed_ = pressed;
  setFrameShadow(pressed ? QFrame::Sunken : QFrame::Raised);
  SetPanelColour(this, pressed ? kKeyPressed : kKeySilver);
}

void KeypadButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QFrame::mousePressEvent(event);
    return;
  }
  ShowPressed(true);
  event->accept();
}

void KeypadButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QFrame::mouseReleaseEvent(event);
    return;
  }
  ShowPressed(false);
  event->accept();
  if (rect().contains(event->position().toPoint()) && on_click) on_click();
}

KeyCaptionLabel::KeyCaptionLabel(const QString& name, const QString& text, QWidget* parent)
    : QLabel(text, parent) {
  setObjectName(name);
  setAlignment(Qt::AlignCenter);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  setPalette(palette);
  QFont font = this->font();
  font.setPointSizeF(8);
  setFont(font);
}

void KeyCaptionLabel::mousePressEvent(QMouseEvent* event) {
  // Taken here, so the key under the label does not go down.
  if (event->button() == Qt::LeftButton) {
    event->accept();
    return;
  }
  QLabel::mousePressEvent(event);
}

void KeyCaptionLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QLabel::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  if (rect().contains(event->position().toPoint()) && on_click) on_click();
}

FramedKey::FramedKey(const QString& key_name, const QString& frame_name, const QString& caption,
                     const QColor& face, QRect frame_geometry, QWidget* parent)
    : frame_(new QFrame(parent)) {
  frame_->setObjectName(frame_name);
  frame_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  frame_->setLineWidth(1);
  frame_->setGeometry(frame_geometry);
  SetPanelColour(frame_, kKeySilver);
  key_ = new KeyPanel(key_name, caption, face, frame_);
  key_->setGeometry(3, 3, frame_geometry.width() - 6, frame_geometry.height() - 6);
}

void FramedKey::SetLit(bool lit) { SetPanelColour(frame_, lit ? kKeyLit : kKeySilver); }

}  // namespace ostra
