// TAboutForm: "About Ostra", the picture and the four caption and value rows.
#pragma once

#include <QLabel>
#include <QWidget>

#include "app/app_shell.h"

namespace ostra {

class TAboutForm : public QWidget {
 public:
  explicit TAboutForm(QWidget* parent = nullptr);

  // Fills the value labels from the model.
  void ShowAbout(const AboutPage& about);

 private:
  QLabel* serial_no_;
  QLabel* application_rev_;
  QLabel* hardware_rev_;
  QLabel* firmware_rev_;
};

}  // namespace ostra
