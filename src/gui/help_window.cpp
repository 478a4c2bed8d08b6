#include "gui/help_window.h"

#include <QFile>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ostra {

namespace {

constexpr const char* kSectionHeading = "## Using the front panel";

}  // namespace

QString FrontPanelHelpText(const QString& readme) {
  const qsizetype start = readme.indexOf(kSectionHeading);
  if (start < 0) return readme;
  const qsizetype end = readme.indexOf("\n## ", start + 1);
  return readme.mid(start, end < 0 ? -1 : end - start);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpForm");
  setWindowTitle("Using the front panel");
  resize(620, 520);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpText");
  browser_->setOpenExternalLinks(false);
  layout->addWidget(browser_);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::ShowHelp() {
  if (browser_->document()->isEmpty()) {
    QFile readme(":/help/README.md");
    const QString text = readme.open(QIODevice::ReadOnly) ? QString::fromUtf8(readme.readAll())
                                                          : QString("No help is available.");
    browser_->setMarkdown(FrontPanelHelpText(text));
  }
  show();
  raise();
  activateWindow();
}

}  // namespace ostra
