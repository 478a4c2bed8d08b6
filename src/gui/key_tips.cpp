#include "gui/key_tips.h"

#include <array>
#include <utility>

namespace ostra {

namespace {

using enum ActionId;

// The unit a stimulus entry expects in each sweep type.
QString StimulusUnit(SweepKind sweep) {
  switch (sweep) {
    case SweepKind::Frequency:
      return "finish with MHz, kHz or Hz";
    case SweepKind::Phase:
      return "in degrees, finish with Enter";
    case SweepKind::Power:
    case SweepKind::Other:
      break;
  }
  return "in dBm, finish with Enter";
}

struct Tip {
  ActionId action;
  const char* text;
  bool stimulus_unit;  // the text is followed by the sweep's unit
};

constexpr std::array<Tip, 39> kTips = {{
    {start_stm, "Start of the sweep: type a value", true},
    {stop_stm, "Stop of the sweep: type a value", true},
    {centre_stm, "Centre of the sweep: type a value", true},
    {span_stm, "Span of the sweep: type a value", true},
    {ref_level,
     "Reference level at the top of the chart, in the format's unit (dB, degrees, ...): "
     "type a value, finish with Enter",
     false},
    {Scale,
     "Scale per division, in the format's unit (dB, degrees, ...): type a value, finish "
     "with Enter",
     false},
    {Marker1, "Marker 1 at a stimulus value: type it", true},
    {Marker2, "Marker 2 at a stimulus value: type it", true},
    {Marker3, "Marker 3 at a stimulus value: type it", true},
    {Marker4, "Marker 4 at a stimulus value: type it", true},
    {ClearAll, "Switches every marker off", false},
    {marker_show, "Shows the marker table", false},
    {marker_hide, "Hides the marker table", false},
    {const_vswr,
     "A circle of constant VSWR on the Smith chart: type the VSWR (such as 2), finish "
     "with Enter",
     false},
    {config_advanced, "Advanced settings", false},
    {LogMag, "Magnitude in dB", false},
    {LinMag, "Magnitude as a ratio", false},
    {Smith, "Smith chart of the reflection", false},
    {Phase, "Phase in degrees", false},
    {VSWR, "Voltage standing wave ratio", false},
    {show_phase, "Adds the phase on the right-hand axis", false},
    {Transmission, "Measures the transmission through the device (thru)", false},
    {Reflection, "Measures the reflection of the device", false},
    {Cal, "Calibrates the current sweep: each step names the standard to connect", false},
    {display_data_to_mem, "Keeps a copy of the trace as the memory trace", false},
    {display_clear_mem, "Clears the memory trace", false},
    {config_theme, "Colours of the program", false},
    {freq_sweep, "Sweeps the frequency", false},
    {phase_sweep, "Sweeps the phase of the source", false},
    {power_sweep, "Sweeps the power of the source", false},
    {source_freq, "Frequency of the source: type a value, finish with MHz, kHz or Hz", false},
    {source_phase, "Phase of the source: type a value in degrees, finish with Enter", false},
    {source_power, "Power of the source: type a value in dBm, finish with Enter", false},
    {ave_on, "Averages the sweeps", false},
    {ave_off, "Stops averaging", false},
    {ave_factor, "How many sweeps are averaged: type a number, finish with Enter", false},
    {save_state, "Saves the instrument's settings to a .sta file", false},
    {save_data, "Saves the trace: a .csv with a picture of the window, or a Touchstone file",
     false},
    {recall_state, "Recalls settings saved with Save State", false},
}};

constexpr std::array<std::pair<HardKey, const char*>, kHardKeyCount> kHardKeyTips = {{
    {HardKey::measure_ptn, "Measure menu: transmission or reflection"},
    {HardKey::format_ptn, "Format menu: log or linear magnitude, Smith chart, phase, VSWR"},
    {HardKey::ave_ptn, "Average menu: averaging on or off, the averaging factor"},
    {HardKey::stimulus_ptn, "Stimulus menu: start, stop, centre and span of the sweep"},
    {HardKey::amp_ptn, "Amplitude menu: reference level and scale"},
    {HardKey::display_btn, "Display menu: the memory trace and the constant-VSWR circle"},
    {HardKey::sweep_ptn, "Sweep menu: frequency, phase or power sweep"},
    {HardKey::cal_ptn, "Calibration menu: calibrate the current sweep"},
    {HardKey::config_ptn, "Config menu: advanced settings and colours"},
    {HardKey::source_ptn, "Source menu: the source's frequency, phase and power"},
    {HardKey::marker_ptn, "Markers menu: place the four markers, show or hide their table"},
    {HardKey::save_recall_ptn, "Save/Recall menu: save or recall the settings, save the data"},
}};

}  // namespace

QString HardKeyTip(HardKey key) {
  for (const auto& [k, text] : kHardKeyTips) {
    if (k == key) return text;
  }
  return {};
}

QString SoftKeyTip(ActionId action, SweepKind sweep) {
  for (const Tip& tip : kTips) {
    if (tip.action != action) continue;
    QString text = tip.text;
    if (tip.stimulus_unit) text += ", " + StimulusUnit(sweep);
    return text;
  }
  return {};
}

QString CalibrationMarkTip(const std::string& mark) {
  if (mark == "C") return "Corrected: the trace is corrected by the calibration";
  if (mark == "C?") return "The stimulus has changed since the calibration";
  return {};
}

QString SweepIndicatorTip() { return "Whether the instrument is sweeping"; }

}  // namespace ostra
