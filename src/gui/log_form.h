// TLogForm: the "Application log" window, holding only the editable LogPad.
// Closing it hides it; its lines stay.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <string>
#include <vector>

namespace ostra {

class TLogForm : public QWidget {
 public:
  explicit TLogForm(QWidget* parent = nullptr);

  // Appends one line as the new last line of LogPad.
  void AppendLine(const std::string& line);
  void AppendLines(const std::vector<std::string>& lines);
  QPlainTextEdit* LogPad() const { return log_pad_; }

 private:
  QPlainTextEdit* log_pad_;
};

}  // namespace ostra
