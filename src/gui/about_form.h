// TAboutForm: "About Ostra", the picture and the four caption and value rows.
// The window is as large as its rows need in the fonts of the desktop, and
// Escape closes it.
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
  // Sizes the panel to its rows (never smaller than the picture's frame)
  // and the window to the picture and the panel.
  void FitToContents();

  QLabel* picture_;
  QFrame* panel_;
  QLabel* serial_no_;
  QLabel* application_rev_;
  QLabel* hardware_rev_;
  QLabel* firmware_rev_;
};

}  // namespace ostra
