// The soft-key actions that the front panel itself owns: the keypad entries
// of the Stimulus, Amplitude, Markers and Ave menus, the source entries, the
// sweep types, averaging on and off, and the Config menu.
#include "app/analyser.h"
#include "app/front_panel_keys.h"
#include "app/marker_actions.h"
#include "app/numeric_entry.h"
#include "display/chart_model.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "panel/entry_dispatch.h"

namespace ostra {

// --- Keypad entries ------------------------------------------------------------------

void FrontPanelKeys::start_stmExecute() { app_.Entry().SelectEntry(kEntryStart); }
void FrontPanelKeys::stop_stmExecute() { app_.Entry().SelectEntry(kEntryStop); }
void FrontPanelKeys::centre_stmExecute() { app_.Entry().SelectEntry(kEntryCentre); }
void FrontPanelKeys::span_stmExecute() { app_.Entry().SelectEntry(kEntrySpan); }
void FrontPanelKeys::ref_levelExecute() { app_.Entry().SelectEntry(kEntryRefLevel); }
void FrontPanelKeys::ScaleExecute() { app_.Entry().SelectEntry(kEntryScale); }
void FrontPanelKeys::ave_factorExecute() { app_.Entry().SelectEntry(kEntryAverageFactor); }
void FrontPanelKeys::const_vswrExecute() { app_.Entry().SelectEntry(kEntryConstVswr); }

void FrontPanelKeys::SelectMarkerEntry(int marker) {
  app_.Entry().SelectEntry(kEntryMarker);
  app_.MarkerModel().Select(marker);
}

void FrontPanelKeys::Marker1Execute() { SelectMarkerEntry(0); }
void FrontPanelKeys::Marker2Execute() { SelectMarkerEntry(1); }
void FrontPanelKeys::Marker3Execute() { SelectMarkerEntry(2); }
void FrontPanelKeys::Marker4Execute() { SelectMarkerEntry(3); }

// --- Source ----------------------------------------------------------------------------

void FrontPanelKeys::SourceEntry(std::string_view entry, std::string_view caption) {
  if (!app_.Owner().Ask(caption)) return;
  app_.Sweep().Stop();
  app_.Entry().SelectEntry(entry);
  // The restart happens whatever the refresh says of the settings.
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  app_.Sweep().Restart();
}

void FrontPanelKeys::source_freqExecute() { SourceEntry(kEntrySourceFreq, "Source Frequency"); }
void FrontPanelKeys::source_phaseExecute() { SourceEntry(kEntrySourcePhase, "Source Phase"); }
void FrontPanelKeys::source_powerExecute() { SourceEntry(kEntrySourcePower, "Source Power"); }

// --- Sweep -----------------------------------------------------------------------------

void FrontPanelKeys::SelectSweepType(const char* sweep_type, const char* mode, const char* format,
                                     const char* rx_gain, bool clear_overlays) {
  if (!app_.Owner().Ask(std::string(sweep_type) + " sweep")) return;
  app_.Markers().ClearMarkers();
  app_.Sweep().Stop();
  InstrumentSettings& settings = app_.Settings();
  settings.SetText(Setting::SweepType, sweep_type);
  settings.SetText(Setting::Mode, mode);
  settings.SetText(Setting::Format, format);
  settings.SetText(Setting::RxGain, rx_gain);
  if (clear_overlays) app_.Display().ClearSmithOverlays();
  app_.Guard([&] { app_.Display().UpdateDisplayLayout(); });
  app_.Sweep().Restart();
}

void FrontPanelKeys::freq_sweepExecute() {
  SelectSweepType("Frequency", "Reflection", "Log", "39", false);
}

void FrontPanelKeys::phase_sweepExecute() {
  SelectSweepType("Phase", "Transmission", "Phase", "24", true);
}

void FrontPanelKeys::power_sweepExecute() {
  SelectSweepType("Power", "Transmission", "Log", "24", true);
}

// --- Ave -------------------------------------------------------------------------------

void FrontPanelKeys::ave_onExecute() {
  app_.Settings().SetChecked(Setting::AveEnable, true);
  app_.Chart().SetLabelVisible(LabelId::ave_en_lbl, true);
}

void FrontPanelKeys::ave_offExecute() {
  app_.Settings().SetChecked(Setting::AveEnable, false);
  app_.Chart().SetLabelVisible(LabelId::ave_en_lbl, false);
}

// --- Config ----------------------------------------------------------------------------

void FrontPanelKeys::config_advancedExecute() { sweep_param1Click(); }

void FrontPanelKeys::config_themeExecute() {}

}  // namespace ostra
