#include "gui/about_form.h"

#include <QFrame>
#include <QGridLayout>
#include <QShortcut>
#include <algorithm>

#include "gui/artwork.h"
#include "gui/key_panel.h"

namespace ostra {

TAboutForm::TAboutForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("AboutForm");
  setWindowTitle("About Ostra");
  setFixedSize(189, 168);
  SetPanelColour(this, Qt::white);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  auto* picture = new QLabel(this);
  picture_ = picture;
  picture->setObjectName("Image1");
  picture->setGeometry(16, 0, 153, 81);
  picture->setScaledContents(true);
  picture->setPixmap(QPixmap::fromImage(AboutPicture()));

  auto* panel = new QFrame(this);
  panel_ = panel;
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(8, 88, 173, 72);
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(1);
  QFont font = this->font();
  font.setPointSizeF(std::max(6.0, font.pointSizeF() - 1.5));
  auto add_row = [&](int row, const QString& caption, const QString& name) {
    auto* caption_label = new QLabel(caption, panel);
    caption_label->setFont(font);
    auto* value = new QLabel(panel);
    value->setObjectName(name);
    value->setFont(font);
    grid->addWidget(caption_label, row, 0);
    grid->addWidget(value, row, 1);
    return value;
  };
  serial_no_ = add_row(0, "Serial number:", "serial_no");
  application_rev_ = add_row(1, "Application revision:", "application_rev");
  hardware_rev_ = add_row(2, "Hardware revision:", "hardware_rev");
  firmware_rev_ = add_row(3, "Firmware revision:", "firmware_rev");
  grid->setColumnStretch(1, 1);
  FitToContents();
}

void TAboutForm::FitToContents() {
  constexpr int kMargin = 8;
  constexpr QSize kPictureFrame(173, 72);  // the panel's size at the smallest fonts
  const QSize needed = panel_->layout()->sizeHint();
  const QSize panel(std::max(kPictureFrame.width(), needed.width()),
                    std::max(kPictureFrame.height(), needed.height()));
  const int width = panel.width() + 2 * kMargin;
  picture_->move((width - picture_->width()) / 2, 0);
  panel_->setGeometry(kMargin, picture_->height() + 7, panel.width(), panel.height());
  setFixedSize(width, panel_->geometry().bottom() + 1 + kMargin);
}

void TAboutForm::ShowAbout(const AboutPage& about) {
  serial_no_->setText(QString::fromStdString(about.serial_no));
  application_rev_->setText(QString::fromStdString(about.application_rev));
  hardware_rev_->setText(QString::fromStdString(about.hardware_rev));
  firmware_rev_->setText(QString::fromStdString(about.firmware_rev));
  FitToContents();
}

}  // namespace ostra
