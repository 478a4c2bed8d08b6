// Tsplash_screen: the borderless picture shown while the program comes up,
// with "Loading ....." and eight progress squares. Closing it ends the
// program.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>

#include "app/app_shell.h"

namespace ostra {

class Tsplash_screen : public QWidget {
 public:
  explicit Tsplash_screen(QWidget* parent = nullptr);

  // Shows the squares the model has shown.
  void ShowSplash(const SplashState& splash);
  QWidget* Square(int number) const { return squares_.at(static_cast<size_t>(number - 1)); }

  // Called when the window is closed (the program then ends).
  std::function<void()> on_close;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::array<QWidget*, 8> squares_{};
};

}  // namespace ostra
