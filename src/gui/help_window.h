// The help that F1 opens: the README's section on the front panel, which
// ships inside the program, so it is there without a network or a browser.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace ostra {

// The section of `readme` (Markdown) under the heading "Using the front
// panel", up to the next heading of the same level; the whole text when it
// has no such heading.
QString FrontPanelHelpText(const QString& readme);

class HelpWindow : public QWidget {
 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows the window in front, filled on first use.
  void ShowHelp();
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace ostra
