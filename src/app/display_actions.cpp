#include "app/display_actions.h"

#include "app/analyser.h"
#include "display/chart_model.h"
#include "display/trace_display.h"

namespace ostra {

void DisplayActions::SetFormat(const std::string& format, const std::string& log_line,
                               bool clear_overlays) {
  app_.Guard([&] {
    if (clear_overlays) app_.Display().ClearSmithOverlays();
    app_.Settings().SetText(Setting::Format, format);
    app_.Display().UpdateDisplayLayout();
    app_.Log().WriteLog(log_line);
  });
}

void DisplayActions::LogMagExecute() { SetFormat("Log", "Display format is Log magnitude", true); }
void DisplayActions::LinMagExecute() { SetFormat("Lin", "Display format is Lin", true); }
void DisplayActions::PhaseExecute() { SetFormat("Phase", "Display format is Phase", true); }
void DisplayActions::VSWRExecute() { SetFormat("VSWR", "Display format is VSWR", true); }
void DisplayActions::SmithExecute() { SetFormat("Smith", "Display format is Smith Chart", false); }

void DisplayActions::show_phaseExecute() {
  app_.Guard([&] {
    app_.Display().ShowPhaseOverlay();
    app_.Log().WriteLog("Phase display added.");
  });
}

void DisplayActions::SetMode(const std::string& mode) {
  if (!app_.Owner().Ask(mode)) return;
  InstrumentSettings& settings = app_.Settings();
  app_.Sweep().Stop();
  settings.SetText(Setting::Mode, mode);
  app_.Host().SetStatusText("Measurement mode is " + mode);
  settings.SetText(Setting::Format, "Log");
  // A dialog field that is not a number stops the refresh, not the mode's
  // gain and restart: the mode never stands with the other mode's gain.
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  settings.SetText(Setting::RxGain, mode == "Transmission" ? "24" : "39");
  app_.Sweep().Restart();
}

void DisplayActions::TransmissionExecute() { SetMode("Transmission"); }
void DisplayActions::ReflectionExecute() { SetMode("Reflection"); }

void DisplayActions::ChartPointClick(double x, double y) {
  app_.Host().SetStatusText(ChartClickText(x, y));
}

}  // namespace ostra
