// The display-format and measurement-mode actions, and a click on a chart
// point. A format action changes what the next points plot; a mode action
// stops the sweep and restarts it measuring the other way.
#pragma once

#include <string>

namespace ostra {

class Analyser;

class DisplayActions {
 public:
  explicit DisplayActions(Analyser& app) : app_(app) {}

  void LogMagExecute();
  void LinMagExecute();
  void PhaseExecute();
  void VSWRExecute();
  void SmithExecute();
  void show_phaseExecute();
  void TransmissionExecute();
  void ReflectionExecute();
  // A click on a chart point: its coordinates on the status bar.
  void ChartPointClick(double x, double y);

 private:
  void SetFormat(const std::string& format, const std::string& log_line, bool clear_overlays);
  void SetMode(const std::string& mode);

  Analyser& app_;
};

}  // namespace ostra
