#include "sim/dut_model.h"

#include <array>
#include <cmath>

#include "base/constants.h"
#include "base/text_util.h"

namespace ostra {

namespace {

using Complex = std::complex<double>;

Complex RlcImpedance(double hz) {
  const double w = kTwoPi * std::max(hz, 1.0);
  const double capacitance =
      1.0 / (kTwoPi * kRlcResonance * kTwoPi * kRlcResonance * kRlcInductance);
  return Complex(kRlcResistance, w * kRlcInductance - 1.0 / (w * capacitance));
}

// ABCD matrix of a two-port.
struct Abcd {
  Complex a, b, c, d;
  Abcd operator*(const Abcd& o) const {
    return {a * o.a + b * o.c, a * o.b + b * o.d, c * o.a + d * o.c, c * o.b + d * o.d};
  }
};

Abcd SeriesElement(Complex z) { return {1.0, z, 0.0, 1.0}; }
Abcd ShuntElement(Complex y) { return {1.0, 0.0, y, 1.0}; }

// The band-pass as a cascade: shunt parallel LC, series LC, shunt parallel LC
// (low-pass prototype g1 = 1, g2 = 2, g3 = 1), lossy inductors.
Abcd BandPassNetwork(double hz) {
  const double w = kTwoPi * std::max(hz, 1.0);
  const double w0 = kTwoPi * kBandPassCentre;
  const double fbw = kBandPassBandwidth / kBandPassCentre;
  const double z0 = kReferenceImpedance;
  auto inductor = [&](double l) { return Complex(w0 * l / kBandPassInductorQ, w * l); };
  auto capacitor = [&](double c) { return Complex(0.0, -1.0 / (w * c)); };

  // Shunt resonators (g = 1).
  const double shunt_c = 1.0 / (z0 * w0 * fbw);
  const double shunt_l = z0 * fbw / w0;
  const Complex shunt_y = 1.0 / inductor(shunt_l) + 1.0 / capacitor(shunt_c);
  // Series resonator (g = 2).
  const double series_l = 2.0 * z0 / (w0 * fbw);
  const double series_c = fbw / (2.0 * z0 * w0);
  const Complex series_z = inductor(series_l) + capacitor(series_c);
  return ShuntElement(shunt_y) * SeriesElement(series_z) * ShuntElement(shunt_y);
}

Complex S11(const Abcd& m) {
  const double z0 = kReferenceImpedance;
  return (m.a + m.b / z0 - m.c * z0 - m.d) / (m.a + m.b / z0 + m.c * z0 + m.d);
}

Complex S21(const Abcd& m) {
  const double z0 = kReferenceImpedance;
  return 2.0 / (m.a + m.b / z0 + m.c * z0 + m.d);
}

struct DutNameEntry {
  Dut dut;
  const char* name;
};
constexpr std::array<DutNameEntry, 6> kNames{{{Dut::Open, "open"},
                                              {Dut::Short, "short"},
                                              {Dut::Load, "load"},
                                              {Dut::Thru, "thru"},
                                              {Dut::SeriesRlc, "rlc"},
                                              {Dut::BandPass, "bandpass"}}};

}  // namespace

std::optional<Dut> ParseDut(std::string_view text) {
  std::string upper = ToUpper(text);
  if (upper == "SERIES-RLC" || upper == "SERIESRLC") return Dut::SeriesRlc;
  if (upper == "BAND-PASS") return Dut::BandPass;
  for (const auto& entry : kNames) {
    if (upper == ToUpper(entry.name)) return entry.dut;
  }
  return std::nullopt;
}

std::string DutName(Dut dut) {
  for (const auto& entry : kNames) {
    if (entry.dut == dut) return entry.name;
  }
  return "unknown";
}

std::string DutCaption(Dut dut) {
  switch (dut) {
    case Dut::Open:
      return "Open standard";
    case Dut::Short:
      return "Short standard";
    case Dut::Load:
      return "Load standard (50 ohm)";
    case Dut::Thru:
      return "Thru (port 1 to port 2)";
    case Dut::SeriesRlc:
      return "Series RLC at 35 MHz";
    case Dut::BandPass:
      return "Band-pass filter at 35 MHz";
  }
  return "Unknown device";
}

Complex TrueReflection(Dut dut, double hz) {
  switch (dut) {
    case Dut::Open:
      return 1.0;
    case Dut::Short:
      return -1.0;
    case Dut::Load:
      return 0.0;
    case Dut::Thru:
      return 0.0;
    case Dut::SeriesRlc: {
      const Complex z = RlcImpedance(hz);
      return (z - kReferenceImpedance) / (z + kReferenceImpedance);
    }
    case Dut::BandPass:
      return S11(BandPassNetwork(hz));
  }
  return 0.0;
}

Complex TrueTransmission(Dut dut, double hz) {
  switch (dut) {
    case Dut::Open:
    case Dut::Short:
    case Dut::Load:
      return 0.0;
    case Dut::Thru:
      return 1.0;
    case Dut::SeriesRlc:
      // Across the line between the ports: a trap at its resonance.
      return S21(ShuntElement(1.0 / RlcImpedance(hz)));
    case Dut::BandPass:
      return S21(BandPassNetwork(hz));
  }
  return 0.0;
}

}  // namespace ostra
