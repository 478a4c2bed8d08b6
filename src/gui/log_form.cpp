#include "gui/log_form.h"

#include <QFontDatabase>
#include <QVBoxLayout>

namespace ostra {

TLogForm::TLogForm(QWidget* parent)
    : QWidget(parent, Qt::Window), log_pad_(new QPlainTextEdit(this)) {
  setObjectName("LogForm");
  setWindowTitle("Application log");
  resize(429, 594);
  move(312, 161);
  log_pad_->setObjectName("LogPad");
  log_pad_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_pad_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_pad_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_pad_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(log_pad_);
}

void TLogForm::AppendLine(const std::string& line) {
  log_pad_->appendPlainText(QString::fromStdString(line));
}

void TLogForm::AppendLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) AppendLine(line);
}

}  // namespace ostra
